#include "app/ToolkitRenderer.h"

#include <gtest/gtest.h>

namespace orlith {
namespace {

TEST(ToolkitRenderer, CairoOnlyForSoftwareRenderingAndNeverOverAPersonsChoice) {
  struct Case {
    UserRendererChoice user;
    DisplayAcceleration acceleration;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {UserRendererChoice::none, DisplayAcceleration::none, "cairo"},
      {UserRendererChoice::none, DisplayAcceleration::direct, std::nullopt},
      {UserRendererChoice::none, DisplayAcceleration::unknown, std::nullopt},
      {UserRendererChoice::made, DisplayAcceleration::none, std::nullopt},
      {UserRendererChoice::made, DisplayAcceleration::direct, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ToolkitRenderer::choose(c.user, c.acceleration), c.expected)
        << static_cast<int>(c.user) << " " << static_cast<int>(c.acceleration);
}

}  // namespace
}  // namespace orlith
