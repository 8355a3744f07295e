// How many generators a picture chooses from. Algorithm picks a snowflake
// step rule, 1 to kSnowflakeRules; Background picks a background recipe, 1 to
// kBackgroundRecipes, or 0 for the empty (black) field.
#pragma once

namespace nivora {

inline constexpr int kSnowflakeRules = 20;
inline constexpr int kBackgroundRecipes = 20;

}  // namespace nivora
