#include "src/JuceDialogPresenter.h"

#include <gtest/gtest.h>

namespace
{
// The application's tests show dialogs in windows, as the application does,
// wherever a test installs no scripted presenter.
class WindowDialogsEnvironment : public testing::Environment
{
public:
    void SetUp() override { Vextal::JuceDialogPresenter::installAsWindowPresenter(); }
};

testing::Environment* const g_windowDialogs = testing::AddGlobalTestEnvironment(new WindowDialogsEnvironment);
} // namespace
