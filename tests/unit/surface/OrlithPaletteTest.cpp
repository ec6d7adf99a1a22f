// The palette's values in both appearances and its aliases.
#include <gmock/gmock.h>

#include "workspace/surface/OrlithPalette.h"

namespace orlith {
namespace {

struct Expected {
  const PaletteColour& colour;
  std::string_view name;
  SrgbColour light;
  SrgbColour dark;
};

TEST(OrlithPaletteTest, TwelveColoursWithTheirLightAndDarkValues) {
  const auto grey = [](double g) { return SrgbColour::grey(g); };
  const Expected table[] = {
      {OrlithPalette::canvas,
       "canvas",
       {0.9882352941, 0.9843137255, 0.9725490196},
       grey(0.0705882353)},
      {OrlithPalette::ink, "ink", grey(0.086), grey(0.954)},
      {OrlithPalette::inkSecondary, "inkSecondary", grey(0.265), grey(0.8)},
      {OrlithPalette::inkMuted, "inkMuted", grey(0.404), grey(0.645)},
      {OrlithPalette::hairline, "hairline", grey(0.824), grey(0.184)},
      {OrlithPalette::hairlineStrong, "hairlineStrong", grey(0.67), grey(0.245)},
      {OrlithPalette::accent, "accent", {0.957, 0.479, 0.205}, {1.0, 0.546, 0.269}},
      {OrlithPalette::accentText, "accentText", {0.65, 0.235, 0.07}, {1.0, 0.546, 0.269}},
      {OrlithPalette::success, "success", {0.16, 0.63, 0.38}, {0.385, 0.82, 0.56}},
      {OrlithPalette::danger, "danger", {0.82, 0.21, 0.185}, {1.0, 0.455, 0.42}},
      {OrlithPalette::fill, "fill", grey(0.09), grey(0.954)},
      {OrlithPalette::onFill, "onFill", grey(1.0), grey(0.07)},
  };
  ASSERT_EQ(std::size(table), OrlithPalette::colours.size());
  for (std::size_t i = 0; i < std::size(table); ++i) {
    const Expected& row = table[i];
    SCOPED_TRACE(std::string(row.name));
    EXPECT_EQ(OrlithPalette::colours[i], &row.colour);
    EXPECT_EQ(row.colour.name, row.name);
    for (auto [actual, expected] :
         {std::pair{row.colour.light, row.light}, std::pair{row.colour.dark, row.dark}}) {
      EXPECT_NEAR(actual.red, expected.red, 1e-9);
      EXPECT_NEAR(actual.green, expected.green, 1e-9);
      EXPECT_NEAR(actual.blue, expected.blue, 1e-9);
      EXPECT_EQ(actual.alpha, 1.0);
    }
    EXPECT_EQ(&row.colour.resolved(false), &row.colour.light);
    EXPECT_EQ(&row.colour.resolved(true), &row.colour.dark);
  }
}

TEST(OrlithPaletteTest, SignInNamesAreTheSameColours) {
  EXPECT_EQ(&OrlithPalette::inkHover, &OrlithPalette::inkSecondary);
  EXPECT_EQ(&OrlithPalette::controlBorder, &OrlithPalette::hairlineStrong);
  EXPECT_EQ(&OrlithPalette::primaryFill, &OrlithPalette::fill);
  EXPECT_EQ(&OrlithPalette::onPrimaryFill, &OrlithPalette::onFill);
}

}  // namespace
}  // namespace orlith
