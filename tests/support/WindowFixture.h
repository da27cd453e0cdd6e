#pragma once
// A window started as the program starts it, against quellot-proxy in-process; addresses the
// window would open in the user's browser are recorded instead, its message boxes are recorded.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform.h"
#include "Service.h"
#include "TestProxy.h"
#include "UiSupport.h"
#include "Unit1.h"

class WindowFixture : public testing::Test {
protected:
    static void SetUpTestSuite() { gProxy = StartTestProxy({.items = 4000}).release(); }
    static void TearDownTestSuite() {
        delete gProxy;
        gProxy = nullptr;
    }

    void SetUp() override {
        ServiceBaseUrl = gProxy->BaseUrl();
        FOpener.emplace([this](const std::string& url) { FOpened.push_back(url); });
        FForm = StartWindow(FBoxes);
        ASSERT_TRUE(FForm);
    }
    void TearDown() override {
        FForm.reset();
        FOpener.reset();
        ServiceBaseUrl = gProxy->BaseUrl();
    }

    TForm1& Form() { return *FForm; }

    inline static ProxyServer* gProxy = nullptr;
    std::unique_ptr<TForm1> FForm;
    SearchBoxes FBoxes;
    std::vector<std::string> FOpened;
    std::optional<platform::ScopedUrlOpener> FOpener;
};
