#pragma once

class QProcess;

// A helper program that lives only as long as the program that started it, however that one ends
// (a kill included): velra-script's drawing part. One implementation per system.
namespace velra::platform {

// Before the start: the helper is told who its caller is, and (Linux) is sent TERM when the caller
// ends.
void tieHelper(QProcess &process);
// Once it runs (Windows: into a job that ends it when the caller's last handle closes).
void helperStarted(QProcess &process);
// In the helper, first: ends at once when its caller is already gone.
void endIfCallerGone();

} // namespace velra::platform
