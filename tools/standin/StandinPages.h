// Pages of the stand-in web application served under /app.
#pragma once

#include <string>

namespace orlith::standin {

std::string appPage();

}  // namespace orlith::standin
