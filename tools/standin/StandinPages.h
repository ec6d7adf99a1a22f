// Pages of the stand-in web application served under /app.
#pragma once

#include <string>

namespace orlith::standin {

// Whether the page greets the desktop app on its bridge when it loads.
enum class Greeting { send, none };

// A workspace page that keeps the page contract: styled through /app.css (with a light and a
// dark theme), a visible main surface with text, and desktop commands accepted and recorded in
// window.__got.
std::string appPage(Greeting greeting);

}  // namespace orlith::standin
