#pragma once

#include <memory>
#include <string>

class QApplication;

namespace quorvane {

// What decides where the window can show: Qt's platform (QT_QPA_PLATFORM)
// and the X and Wayland displays named by the environment; empty when unset.
struct DisplaySettings {
  std::string platform;
  std::string xDisplay;
  std::string waylandDisplay;
};

DisplaySettings DisplaySettingsFromEnvironment();

// Why no window can show, naming the display (or the setting) that failed.
std::string NoDisplayMessage(const DisplaySettings& settings);

// The application object, on whichever platform Qt picks. When Qt can open
// no display it gives up for good (it would abort); the program then ends
// here with "quorvane: <why>" on standard error and status 1.
std::unique_ptr<QApplication> OpenApplication(int& argc, char** argv);

}  // namespace quorvane
