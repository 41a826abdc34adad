#pragma once

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>

namespace varnoke::test
{
// An X server of the test's own (Xvfb, 24 bits), that no window manager and
// no other test has touched: only the atoms every server has exist on it.
// DISPLAY names it while it runs, so that the test host and the plug-in both
// connect to it.
class PrivateXServer
{
public:
    // Null, with the reason in whyNot, when Xvfb cannot be started.
    static std::unique_ptr<PrivateXServer> start(std::string& whyNot);

    // Stops the server and gives DISPLAY its previous value back. Every
    // connection to it must be closed first.
    ~PrivateXServer();

    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    const std::string& getDisplayName() const noexcept { return displayName; }

private:
    PrivateXServer(pid_t process, std::string name, std::optional<std::string> displayBefore);

    pid_t process;
    std::string displayName;
    std::optional<std::string> previousDisplay;
};
}  // namespace varnoke::test
