// The application's splash screen: the chosen runtime's own splash library shows the image
// before the VM is created, so that java.awt.SplashScreen in the application finds it (AWT
// loads that library by the same path, which gives this process's one copy and its state), and
// the runtime closes it at the application's first window.
#pragma once

#include <string>

/// What showSplashScreen needs of the launch.
struct SplashRequest {
    /// The image, as SetSplashScreen gave it: relative paths are taken from the current
    /// directory, the executable's.
    std::string image;
    std::string javaHome;
    /// The VM library that will be loaded: a runtime's splash library may need it loaded first.
    std::string vmLibrary;
    bool verbose = false;
};

/// Shows the splash screen through the runtime's splash library, after loading the launch's VM
/// library (which that library may depend on), choosing the image's variant for the display's
/// scale as that library does: only among files that pass the image's own check, and giving
/// way to the image where the variant is no image. Never fails the launch: when there is no
/// library (a headless runtime) or the image is unusable, nothing is shown and, with verbose,
/// one line on stdout says why (a missing image also gives a "WARNING: " line on stderr).
/// Once shown, every message of the launcher closes it first.
void showSplashScreen(const SplashRequest& request);

/// What the last showSplashScreen did: "shown: IMAGE" or "not shown: " and why; empty when
/// none was asked for.
const std::string& splashScreenDecision();

/// Closes the splash screen if one is shown; nothing otherwise. Safe to call any number of
/// times, also after the application closed it itself.
void closeSplashScreen();
