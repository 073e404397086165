// The launch sequence, shared by the GUI launcher (wWinMain, beside it) and
// the console launcher.
#ifndef WINLAUNCHER_H
#define WINLAUNCHER_H

// The console flavour: the application's exit code becomes the process's on
// both roads, standard handles pass to a relaunched child, and a launcher
// failure is one line on standard error with exit code 1. Never throws.
int launchConsole();

#endif // WINLAUNCHER_H
