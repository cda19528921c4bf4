#include "options/server_address.h"
#include "options/subtitle_reader.h"

namespace vidora {

const char* const BuildServerAddress = VIDORA_SERVER_URL;
const char* const ProductSite = VIDORA_PRODUCT_SITE;
const char* const SubtitleBanner = sizeof(VIDORA_PRODUCT_SITE) > 1 ? ".:: " VIDORA_PRODUCT_SITE " ::." : "";

}  // namespace vidora
