#include "PrivateXServer.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace varnoke::test
{
namespace
{
// Xvfb writes its display number to this descriptor once it accepts connections.
std::string readDisplayNumber(int descriptor)
{
    std::string number;
    pollfd waitFor{descriptor, POLLIN, 0};
    char c = 0;
    while (poll(&waitFor, 1, 10000) > 0 && read(descriptor, &c, 1) == 1 && c != '\n')
        number += c;
    return number;
}
}  // namespace

std::unique_ptr<PrivateXServer> PrivateXServer::start(std::string& whyNot)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
    {
        whyNot = "no pipe";
        return nullptr;
    }
    fcntl(pipeEnds[0], F_SETFD, FD_CLOEXEC);

    const std::string displayDescriptor = std::to_string(pipeEnds[1]);
    const char* arguments[] = {
        "Xvfb", "-displayfd", displayDescriptor.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Its start-up messages are noise in the test log.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t process = 0;
    const int spawned = posix_spawnp(&process, "Xvfb", &actions, nullptr, const_cast<char* const*>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0)
    {
        close(pipeEnds[0]);
        whyNot = "Xvfb cannot be started (the xvfb package provides it)";
        return nullptr;
    }

    const std::string number = readDisplayNumber(pipeEnds[0]);
    close(pipeEnds[0]);
    if (number.empty())
    {
        kill(process, SIGTERM);
        waitpid(process, nullptr, 0);
        whyNot = "Xvfb did not announce its display";
        return nullptr;
    }

    std::optional<std::string> displayBefore;
    if (const char* before = std::getenv("DISPLAY"))
        displayBefore = before;
    const std::string name = ":" + number;
    setenv("DISPLAY", name.c_str(), 1);
    return std::unique_ptr<PrivateXServer>(new PrivateXServer(process, name, displayBefore));
}

PrivateXServer::PrivateXServer(pid_t processToOwn, std::string name, std::optional<std::string> displayBefore)
    : process(processToOwn)
    , displayName(std::move(name))
    , previousDisplay(std::move(displayBefore))
{
}

PrivateXServer::~PrivateXServer()
{
    if (previousDisplay)
        setenv("DISPLAY", previousDisplay->c_str(), 1);
    else
        unsetenv("DISPLAY");
    kill(process, SIGTERM);
    while (waitpid(process, nullptr, 0) < 0 && errno == EINTR)
    {
    }
}
}  // namespace varnoke::test
