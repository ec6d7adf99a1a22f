// The palette's CSS text: every name defined for the requested appearance.
#include <gmock/gmock.h>

#include "ui/PaletteStyleSheet.h"

namespace orlith {
namespace {

TEST(PaletteStyleSheetTest, DefinesEveryNameForTheRequestedAppearance) {
  const std::string light = paletteStyleSheet(false);
  const std::string dark = paletteStyleSheet(true);
  EXPECT_THAT(light,
              ::testing::HasSubstr("@define-color orlith_canvas rgb(252.000,251.000,248.000);"));
  EXPECT_THAT(dark, ::testing::HasSubstr("@define-color orlith_canvas rgb(18.000,18.000,18.000);"));
  EXPECT_THAT(light,
              ::testing::HasSubstr("@define-color orlith_onFill rgb(255.000,255.000,255.000);"));
  EXPECT_THAT(dark,
              ::testing::HasSubstr("@define-color orlith_accent rgb(255.000,139.230,68.595);"));
  for (const std::string* css : {&light, &dark}) {
    for (const PaletteColour* colour : OrlithPalette::colours)
      EXPECT_THAT(*css, ::testing::HasSubstr("@define-color " + colour->cssName() + " rgb("));
    EXPECT_THAT(*css, ::testing::HasSubstr("@define-color orlith_inkHover @orlith_inkSecondary;"));
    EXPECT_THAT(*css,
                ::testing::HasSubstr("@define-color orlith_controlBorder @orlith_hairlineStrong;"));
    EXPECT_THAT(*css, ::testing::HasSubstr("@define-color orlith_primaryFill @orlith_fill;"));
    EXPECT_THAT(*css, ::testing::HasSubstr("@define-color orlith_onPrimaryFill @orlith_onFill;"));
  }
}

TEST(PaletteStyleSheetTest, ColourTextKeepsAlphaOnlyWhenTranslucent) {
  EXPECT_EQ(cssColour(SrgbColour::grey(0.5)), "rgb(127.500,127.500,127.500)");
  EXPECT_EQ(cssColour(SrgbColour::grey(0, 0.045)), "rgba(0.000,0.000,0.000,0.0450)");
  EXPECT_EQ(cssColour({2, -1, 0.5, 1}), "rgb(255.000,0.000,127.500)");
}

}  // namespace
}  // namespace orlith
