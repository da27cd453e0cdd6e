#pragma once
// The service's address and the publisher id, and the endpoint paths below the address.

#include "Text.h"

// Written once at start-up (when the software-info query fails) before any other request is
// made; tests point both at their own servers.
extern Text ServiceBaseUrl;
extern Text FallbackBaseUrl;
extern const Text RankIconBaseUrl;
extern const Text HomePage;  // what the browser button opens
extern const Text PublisherId;

// The version this build is; any other version offered by the service is an update.
extern const Text BuiltInVersion;

inline constexpr const char* kItemsPath = "taobao/tbk_items.php";
inline constexpr const char* kItemcatsPath = "taobao/tb_itemcats.php";
inline constexpr const char* kSoftInfoPath = "taobao/IV/ok.php";
inline constexpr const char* kCounterPath = "taobao/IV/count.html";
