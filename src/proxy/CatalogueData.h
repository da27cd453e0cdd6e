#pragma once
// The vocabulary the generated catalogue is made of, in UTF-8.

struct TopCategoryData {
    const char* name;      // one of the category names the client knows pictures for
    const char* children;  // "a|b>x,y|c": children a, b, c; b has children x and y
    int priceLow;          // price range of the category's items, whole yuan
    int priceHigh;
};

extern const TopCategoryData kTopCategories[65];

extern const char* const kTitleOpeners[];
extern const int kTitleOpenerCount;
extern const char* const kTitleFeatures[];
extern const int kTitleFeatureCount;
extern const char* const kTitleClosers[];
extern const int kTitleCloserCount;
extern const char* const kNickParts[];
extern const int kNickPartCount;
// "province city" or a single name, every word from the region list.
extern const char* const kLocations[];
extern const int kLocationCount;
