#pragma once

namespace bootstrap {

/// The application main: builds the main interface (presenter, Downloader, Bootstrapper),
/// runs the launch decision, then the run loop. Every road ends the process with exit();
/// the return value is only a fallback.
int applicationMain(int argc, char** argv);

}  // namespace bootstrap
