#pragma once
// The top-level category names in the order of the category pictures.

#include <array>

#include "Text.h"

constexpr int kCategoryNameCount = 65;

// GBK, as the category client stores the names it receives.
const std::array<Text, kCategoryNameCount>& CategoryNames();
// Picture k + 1 for the name at position k, picture 0 for any other name.
int CategoryPicture(const Text& name);
