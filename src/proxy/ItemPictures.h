#pragma once
// Generated pictures, as PNG: one per item (two sizes) and one per seller-credit level.

#include <cstdint>
#include <string>

std::string ItemPicturePng(int64_t numIid, int size);
// Level 1 to 20: one to five hearts, diamonds, crowns, golden crowns.
std::string CreditPicturePng(int level);
// The level a credit picture's file name stands for ("b_red_1.gif" is 1), or 0.
int CreditLevelOfFile(const std::string& file);
