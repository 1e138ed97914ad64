#include "front_ends/qt/display_failure.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <QApplication>

#include "core/life/program_life.h"

namespace quorvane {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

struct TriedDisplay {
  const char* kind;      // "X", "Wayland"
  const char* variable;  // the setting that names it
  std::string name;
};

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : separator) + part;
  return joined;
}

QtMessageHandler qtHandler = nullptr;

// Qt's start-up ends in a fatal message when no platform plugin could be
// started (it aborts right after); every other message goes to Qt's handler.
void OnStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type != QtFatalMsg) {
    if (qtHandler)
      qtHandler(type, context, text);
    else
      std::fprintf(stderr, "%s\n", qPrintable(text));
    return;
  }
  const std::string message =
      text.contains(QLatin1String("platform plugin"))
          ? NoDisplayMessage(DisplaySettingsFromEnvironment())
          : "the window system cannot be started: " + text.section(QLatin1Char('\n'), 0, 0).toStdString();
  std::fprintf(stderr, "%s\n", ErrorLine(message).c_str());
  std::fflush(stderr);
  // Qt is half set up: leave without running anyone's clean-up.
  std::_Exit(kFailureExitStatus);
}

}  // namespace

DisplaySettings DisplaySettingsFromEnvironment() {
  return {Environment("QT_QPA_PLATFORM"), Environment("DISPLAY"), Environment("WAYLAND_DISPLAY")};
}

std::string NoDisplayMessage(const DisplaySettings& settings) {
  const std::string_view platform = settings.platform;
  // With no platform named, Qt tries Wayland when a Wayland display is named,
  // then X.
  const bool wayland =
      platform.starts_with("wayland") || (platform.empty() && !settings.waylandDisplay.empty());
  const bool x = platform.starts_with("xcb") || platform.empty();
  if (!wayland && !x)
    return "cannot start the window system \"" + settings.platform + "\" named by QT_QPA_PLATFORM";

  std::vector<TriedDisplay> tried;
  if (wayland) tried.push_back({"Wayland", "WAYLAND_DISPLAY", settings.waylandDisplay});
  if (x) tried.push_back({"X", "DISPLAY", settings.xDisplay});
  std::vector<std::string> unreachable, unset;
  for (const TriedDisplay& display : tried) {
    if (display.name.empty())
      unset.push_back(display.variable);
    else
      unreachable.push_back(std::string(display.kind) + " display " + display.name + " (" + display.variable +
                            ")");
  }
  const std::string notSet = Joined(unset, " and ") + (unset.size() > 1 ? " are not set" : " is not set");
  if (unreachable.empty())
    return "no display: " + notSet +
           ", so the window has nowhere to show (start it in a desktop session, or run quorvane-console)";
  std::string message = "cannot open the " + Joined(unreachable, " nor the ");
  if (!unset.empty()) message += ", and " + notSet;
  // With X alone the display was certainly tried; a missing Wayland plugin
  // is Qt's to tell, in its own line above ours.
  if (!wayland) message += ": no X server there accepts the connection";
  return message;
}

std::unique_ptr<QApplication> OpenApplication(int& argc, char** argv) {
  qtHandler = qInstallMessageHandler(OnStartMessage);
  auto application = std::make_unique<QApplication>(argc, argv);
  // Later fatal messages are Qt's own business again.
  qInstallMessageHandler(qtHandler);
  return application;
}

}  // namespace quorvane
