// The page the browser shows after the loopback callback: a card that says
// the sign-in worked, in light and dark, and a tab that tries to close itself.

#include <string>

#include "account/desktop_callback_server.hpp"

namespace mivo::DesktopCallbackServer {
namespace {

constexpr const char* kPage = R"HTML(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width,initial-scale=1">
<title>Signed in to Mivo</title>
<style>
:root {
  --bg: #f5f7fb; --card: #ffffff; --text: #0f172a; --muted: #64748b;
  --border: rgba(15, 23, 42, 0.08); --accent: #6366f1; --accent-soft: rgba(99, 102, 241, 0.12);
}
@media (prefers-color-scheme: dark) {
  :root {
    --bg: #0b0f1a; --card: #131826; --text: #e2e8f0; --muted: #94a3b8;
    --border: rgba(255, 255, 255, 0.08); --accent: #818cf8; --accent-soft: rgba(129, 140, 248, 0.16);
  }
}
* { box-sizing: border-box; }
body {
  margin: 0; padding: 24px; min-height: 100vh; display: flex; align-items: center;
  justify-content: center; background: var(--bg); color: var(--text);
  font-family: -apple-system, BlinkMacSystemFont, "SF Pro Text", "Inter", sans-serif;
  -webkit-font-smoothing: antialiased; -moz-osx-font-smoothing: grayscale;
}
.card {
  background: var(--card); border: 1px solid var(--border); border-radius: 16px;
  padding: 40px 36px; width: 100%; max-width: 420px; text-align: center;
  box-shadow: 0 10px 40px rgba(15, 23, 42, 0.06);
  animation: rise 0.4s cubic-bezier(0.2, 0.8, 0.2, 1) both;
}
.badge {
  width: 56px; height: 56px; border-radius: 50%; margin: 0 auto 20px;
  display: flex; align-items: center; justify-content: center;
  background: var(--accent-soft); color: var(--accent);
  animation: pop 0.5s cubic-bezier(0.2, 0.8, 0.2, 1) 0.1s both;
}
.badge svg { width: 28px; height: 28px; }
h1 { font-size: 20px; font-weight: 600; letter-spacing: -0.01em; margin: 0 0 8px; }
p { font-size: 14px; color: var(--muted); line-height: 1.5; margin: 0; }
.hint { font-size: 12px; opacity: 0.8; margin-top: 24px; }
@keyframes rise { from { transform: translateY(8px); opacity: 0; } to { transform: none; opacity: 1; } }
@keyframes pop { from { transform: scale(0.7); opacity: 0; } to { transform: scale(1); opacity: 1; } }
</style>
</head>
<body>
<main class="card" role="status" aria-live="polite">
<div class="badge" aria-hidden="true"><svg viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="3" stroke-linecap="round" stroke-linejoin="round"><polyline points="20 6 9 17 4 12"></polyline></svg></div>
<h1>You're signed in to Mivo</h1>
<p>Head back to the app to keep going. You can close this tab.</p>
<p class="hint">This tab will try to close itself in a moment.</p>
</main>
<script>setTimeout(function () { window.close(); }, 1500);</script>
</body>
</html>
)HTML";

}  // namespace

const std::string& successResponse() {
    // No Content-Length: the end of the page is the end of the connection.
    static const std::string reply = std::string(
                                         "HTTP/1.1 200 OK\r\n"
                                         "Content-Type: text/html; charset=utf-8\r\n"
                                         "Connection: close\r\n"
                                         "\r\n") +
                                     kPage;
    return reply;
}

}  // namespace mivo::DesktopCallbackServer
