// The base of the media layer's components: the encoder, decoder, player and logger.
#pragma once

#include <string>

namespace vidora {

class TFFBaseComponent {
 public:
  explicit TFFBaseComponent(std::string version) : FVersion(std::move(version)) {}
  virtual ~TFFBaseComponent() = default;
  const std::string& Version() const { return FVersion; }

 private:
  std::string FVersion;
};

}  // namespace vidora
