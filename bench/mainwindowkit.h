#pragma once
// What the benches of the real main window share: the demo session handed from the parent to a
// child process, the window's settle condition and its resident memory. The parent starts the
// reference server with the demo team and signs in once; each child restores that session, so
// that every figure is taken in a fresh process on the same platform plugin and scene graph.

#include "app/app.h"

#include <QProcessEnvironment>
#include <QString>
#include <functional>

class MemorySecretStore;
class QQuickWindow;
class ReferenceServer;

namespace benchwin {

// A window that has drawn nothing for this long is taken as settled; one that never is, is
// measured after kSettleCapMs and the figure says so.
constexpr int kQuietMs = 500;
constexpr int kSettleCapMs = 15000;

// Resident memory in KiB from /proc/self/status: VmRSS and its anonymous and file-backed parts.
struct Rss { long total = -1, anon = -1, file = -1; };
Rss rss();

// Leaves /proc/self/smaps as DIR/name when the environment variable `dirVar` names a folder.
void keepSmaps(const char *dirVar, const QString &name);

// Calls `done` once `ready` holds and the window has then swapped no frame for kQuietMs.
void whenSettled(QQuickWindow *w, std::function<bool()> ready, std::function<void(bool)> done);

// Calls `done` with the next frame the window swaps.
void nextFrame(QQuickWindow *w, std::function<void()> done);

// The children's environment: a fresh home, the software scene graph unless QT_QUICK_BACKEND
// says otherwise (under Xvfb OpenGL is Mesa's llvmpipe, whose compiler and buffers add some
// 50 MiB to any window and drown what the client itself holds), the server's address and the
// administrator's session. False when the sign-in fails.
bool childEnvironment(const ReferenceServer &server, const QString &home, QProcessEnvironment *env);

// In the child: the session the parent handed down, restored into `secrets` and $HOME's config,
// and the application's options for it (no tray icon, no update schedule).
AppOptions childOptions(MemorySecretStore &secrets);
// Loads the application's interface; false, with the reason on stderr, when it does not load.
bool start(CorvaneApp &app);

} // namespace benchwin
