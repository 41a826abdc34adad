// The output file of varnoke-render: in place whole or not at all, however
// the process ends.

#include "AtomicOutputFile.h"
#include "RenderError.h"
#include "TemporaryFileCleanup.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace varnoke;

namespace
{
using varnoke::render::AtomicOutputFile;
namespace cleanup = varnoke::render::cleanup;
using Naming = AtomicOutputFile::Naming;

class AtomicOutputFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/varnoke-atomic-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        folder = pattern;
    }
    void TearDown() override
    {
        for (const std::string& name : namesInFolder())
            unlink((folder + "/" + name).c_str());
        rmdir(folder.c_str());
    }

    std::vector<std::string> namesInFolder() const
    {
        std::vector<std::string> names;
        if (DIR* dir = opendir(folder.c_str()))
        {
            while (const dirent* entry = readdir(dir))
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    names.push_back(entry->d_name);
            closedir(dir);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string contentOf(const std::string& name) const
    {
        std::ifstream in(folder + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string folder;
};

bool writeText(const AtomicOutputFile& output, const std::string& text)
{
    return write(output.descriptor(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

const Naming bothNamings[] = {Naming::unnamedWhenPossible, Naming::named};

TEST_F(AtomicOutputFileTest, CommitReplacesTheDestinationAndDiscardLeavesIt)
{
    for (const Naming naming : bothNamings)
    {
        SCOPED_TRACE(naming == Naming::named ? "named" : "unnamed");
        std::ofstream(folder + "/out.wav") << "old";
        {
            AtomicOutputFile output(folder + "/out.wav", naming);
            ASSERT_NO_THROW(output.open());
            ASSERT_TRUE(writeText(output, "discarded"));
        }
        EXPECT_EQ((std::vector<std::string>{"out.wav"}), namesInFolder());
        EXPECT_EQ("old", contentOf("out.wav"));

        AtomicOutputFile output(folder + "/out.wav", naming);
        ASSERT_NO_THROW(output.open());
        ASSERT_TRUE(writeText(output, "new"));
        EXPECT_EQ("old", contentOf("out.wav"));  // nothing shows before the commit
        ASSERT_NO_THROW(output.commit());
        EXPECT_EQ((std::vector<std::string>{"out.wav"}), namesInFolder());
        EXPECT_EQ("new", contentOf("out.wav"));
    }
}

// A child process opens an output, writes to it and is ended by a signal;
// nothing of the output may remain. Exits with 3 when an unnamed file was
// asked for and the file system has none.
constexpr int noUnnamedFiles = 3;

[[noreturn]] void writeAndReceive(const std::string& destination, Naming naming, int signalNumber)
{
    const rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    cleanup::installSignalHandlers();
    AtomicOutputFile output(destination, naming);
    try
    {
        output.open();
    }
    catch (const varnoke::render::RenderError&)
    {
        _exit(1);
    }
    if (!writeText(output, "partial"))
        _exit(1);
    if (naming == Naming::unnamedWhenPossible && !output.isUnnamed())
        _exit(noUnnamedFiles);
    kill(getpid(), signalNumber);
    _exit(0);  // survived the signal
}

TEST_F(AtomicOutputFileTest, NoFileSurvivesASignalThatEndsTheProcess)
{
    // Sent, not provoked: no fault signals, whose handling sanitizer builds take over.
    const int everywhere[] = {SIGPIPE, SIGUSR1, SIGALRM, SIGINT,  SIGTERM,     SIGHUP,
                              SIGQUIT, SIGUSR2, SIGXFSZ, SIGABRT, SIGRTMIN + 3};
    for (const Naming naming : bothNamings)
    {
        std::vector<int> signalNumbers(std::begin(everywhere), std::end(everywhere));
        if (naming == Naming::unnamedWhenPossible)
            signalNumbers.push_back(SIGKILL);  // only an unnamed file can survive this
        for (const int signalNumber : signalNumbers)
        {
            SCOPED_TRACE(std::string(naming == Naming::named ? "named, " : "unnamed, ") + strsignal(signalNumber));
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0)
                writeAndReceive(folder + "/out.wav", naming, signalNumber);
            int status = 0;
            ASSERT_EQ(child, waitpid(child, &status, 0));
            if (WIFEXITED(status) && WEXITSTATUS(status) == noUnnamedFiles)
                continue;  // this file system has no unnamed files: the named cases cover it
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << "status " << status;
            EXPECT_EQ(std::vector<std::string>{}, namesInFolder());
        }
    }
}

// A batch of the most jobs varnoke-render takes (256) writes that many outputs
// at once, besides a plot and a preset; where they are named files, a signal
// removes every one of them.
TEST_F(AtomicOutputFileTest, NoFileOfAFullBatchSurvivesASignal)
{
    constexpr int outputs = 256 + 2;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        cleanup::installSignalHandlers();
        std::vector<std::unique_ptr<AtomicOutputFile>> files;
        for (int i = 0; i < outputs; ++i)
        {
            files.push_back(
                std::make_unique<AtomicOutputFile>(folder + "/out-" + std::to_string(i) + ".wav", Naming::named));
            try
            {
                files.back()->open();
            }
            catch (const varnoke::render::RenderError&)
            {
                _exit(1);
            }
            if (!writeText(*files.back(), "partial"))
                _exit(1);
        }
        kill(getpid(), SIGTERM);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
    EXPECT_EQ(std::vector<std::string>{}, namesInFolder());
}

// As under nohup: a signal the process was started ignoring stays ignored.
TEST_F(AtomicOutputFileTest, IgnoredSignalsStayIgnored)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        signal(SIGHUP, SIG_IGN);
        cleanup::installSignalHandlers();
        kill(getpid(), SIGHUP);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
}  // namespace
