#pragma once
// quellot-proxy for tests: in-process, on a free loopback port, without its access log.

#include <gtest/gtest.h>

#include <memory>

#include "ProxyServer.h"

struct TestProxyConfig {
    std::string catalogue;  // empty: generated
    int items = 2000;
    uint32_t seed = 1;
    std::string offerVersion = "v2.0";
    std::string updatePackage;
    std::string updateName = "Quellot";
    std::string updateKey;
    std::string tlsCert, tlsKey;
};

inline std::unique_ptr<ProxyServer> StartTestProxy(const TestProxyConfig& c = {}) {
    ProxyOptions o;
    o.port = 0;
    o.catalogue = c.catalogue;
    o.items = c.items;
    o.seed = c.seed;
    o.accessLog = false;
    o.offerVersion = c.offerVersion;
    o.updatePackage = c.updatePackage;
    o.updateName = c.updateName;
    o.updateKey = c.updateKey;
    o.tlsCert = c.tlsCert;
    o.tlsKey = c.tlsKey;
    auto proxy = std::make_unique<ProxyServer>(o);
    std::string error;
    if (!proxy->Start(error)) ADD_FAILURE() << error;
    return proxy;
}
