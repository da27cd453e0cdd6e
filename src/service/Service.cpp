#include "Service.h"

#include "ServiceConfig.h"

Text ServiceBaseUrl = QUELLOT_SERVICE_BASE_URL;
Text FallbackBaseUrl = QUELLOT_FALLBACK_BASE_URL;
const Text RankIconBaseUrl = QUELLOT_RANK_ICON_BASE_URL;
const Text HomePage = QUELLOT_HOME_PAGE;
const Text PublisherId = QUELLOT_PUBLISHER_ID;
const Text BuiltInVersion = "v2.0";
