// The server the build names, and what follows from it: the product's web
// site (the server's host) on the subtitle banner and in the file's comment.
#pragma once

namespace vidora {

// The VIDORA_SERVER_URL the build was configured with; empty without one.
extern const char* const BuildServerAddress;
// The host of that address; empty without one.
extern const char* const ProductSite;

}  // namespace vidora
