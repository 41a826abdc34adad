#pragma once

#include "HostTestFixture.h"
#include "RgbImage.h"
#include "X11HostWindow.h"

#include <memory>
#include <string>

namespace varnoke::test
{
// A host test with a top-level X11 window of the host's own for the editor,
// and the background picture the editor's window is compared with. Skipped
// where there is no 24-bit X display with the XTEST extension.
class HostWindowTest : public HostTest
{
protected:
    void SetUp() override
    {
        std::string whyNot;
        // Below the windows of the boundary tests, so that a parallel run can't cover it.
        hostWindow = X11HostWindow::open({0, 260, 440, 120}, whyNot);
        if (hostWindow == nullptr)
            GTEST_SKIP() << "needs a 24-bit X display with the XTEST extension (scripts/test.sh runs the tests "
                            "under xvfb-run): "
                         << whyNot;

        HostTest::SetUp();
        if (HasFatalFailure())
            return;
        background = RgbImage::readPng(VARNOKE_BACKGROUND_PNG);
        ASSERT_EQ(420, background.getWidth()) << VARNOKE_BACKGROUND_PNG;
    }

    void TearDown() override
    {
        HostTest::TearDown();  // effClose takes an open editor with it
        hostWindow.reset();
    }

    std::unique_ptr<X11HostWindow> hostWindow;
    RgbImage background;
};
}  // namespace varnoke::test
