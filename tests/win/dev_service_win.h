#pragma once
// The development installation service as the Wine tests see it: it runs beside them
// (scripts/with-dev-service.sh) and is steered and read back through its control folder.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <memory>
#include <string>
#include <vector>

namespace vaq::dev_service {

// Environment variable set by scripts/with-dev-service.sh, or empty.
std::string Setting(const char* name);

// The contents of the file whose Unix path the setting holds.
std::string ReadFileNamedBy(const char* setting);

// The service's CA among the machine's trusted roots while the object lives, so that WinHTTP
// accepts the service's certificate. A CA trusted before (by the kit's runner) stays trusted.
class TrustedAuthority {
 public:
  TrustedAuthority();
  ~TrustedAuthority();
  TrustedAuthority(const TrustedAuthority&) = delete;
  TrustedAuthority& operator=(const TrustedAuthority&) = delete;

 private:
  std::string thumbprint_;  // empty unless this object added the CA
};

// Every following connection and request is answered as reply says (see tools/dev_service/dev_service.py).
void SetReply(const nlohmann::json& reply);
void ClearReply();

// Closes the service's port until the object goes; returns once the port is closed.
class ClosedPort {
 public:
  ClosedPort();
  ~ClosedPort();
  ClosedPort(const ClosedPort&) = delete;
  ClosedPort& operator=(const ClosedPort&) = delete;
};

// Replies wait while the object holds them, each request recorded as it comes (the service
// lets go by itself after five minutes).
class HeldReplies {
 public:
  HeldReplies() { Hold(); }
  ~HeldReplies() { Release(); }
  HeldReplies(const HeldReplies&) = delete;
  HeldReplies& operator=(const HeldReplies&) = delete;
  void Hold();
  void Release();
};

void ClearReceived();
// The requests received since the last ClearReceived, in order.
std::vector<nlohmann::json> Received();

// Base for tests that talk to the service: each test starts with normal replies and an empty
// record of requests.
class ServiceTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { authority_ = std::make_unique<TrustedAuthority>(); }
  static void TearDownTestSuite() { authority_.reset(); }
  void SetUp() override;
  void TearDown() override { ClearReply(); }

 private:
  static inline std::unique_ptr<TrustedAuthority> authority_;
};

}  // namespace vaq::dev_service
