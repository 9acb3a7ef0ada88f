// What the page server lets in: Host and Origin headers, file paths, content types.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/web_request_policy.hpp"

namespace tw::web {
namespace {

namespace fs = std::filesystem;

TEST(WebRequestPolicy, ServerUrlBracketsIpv6) {
  EXPECT_EQ(serverUrl({"127.0.0.1", 8080}), "http://127.0.0.1:8080/");
  EXPECT_EQ(serverUrl({"::1", 9000}), "http://[::1]:9000/");
}

TEST(WebRequestPolicy, OwnHostHeaders) {
  const ListenAddress loopback{"127.0.0.1", 8080};
  struct Case {
    const char* header;
    bool own;
  };
  for (const Case& c : {Case{"127.0.0.1:8080", true}, Case{"localhost:8080", true}, Case{"LOCALHOST:8080", true},
                        Case{"[::1]:8080", true}, Case{"192.168.1.20:8080", true}, Case{"127.0.0.1:8081", false},
                        Case{"127.0.0.1", false}, Case{"evil.example:8080", false}, Case{"localhost.evil:8080", false},
                        Case{"127.0.0.1.evil:8080", false}, Case{"1.2.3:8080", false}, Case{"256.0.0.1:8080", false},
                        Case{"[::1:8080", false}, Case{"127.0.0.1:80x", false}, Case{":8080", false},
                        Case{"", false}, Case{"127.0.0.1:99999", false}}) {
    EXPECT_EQ(isOwnHost(c.header, loopback), c.own) << c.header;
  }
  // A name the server was told to listen on is its own; port 80 may be left out.
  EXPECT_TRUE(isOwnHost("studio.local:8080", {"studio.local", 8080}));
  EXPECT_TRUE(isOwnHost("studio.local", {"studio.local", 80}));
}

TEST(WebRequestPolicy, OwnOrigins) {
  EXPECT_TRUE(isOwnOrigin(std::nullopt, "127.0.0.1:8080"));
  EXPECT_TRUE(isOwnOrigin("http://127.0.0.1:8080", "127.0.0.1:8080"));
  EXPECT_TRUE(isOwnOrigin("HTTP://LocalHost:8080", "localhost:8080"));
  for (const char* origin : {"null", "http://evil.example", "https://127.0.0.1:8080", "http://127.0.0.1:8081",
                             "http://127.0.0.1:8080/", ""})
    EXPECT_FALSE(isOwnOrigin(origin, "127.0.0.1:8080")) << origin;
}

TEST(WebRequestPolicy, ContentTypes) {
  EXPECT_EQ(contentTypeFor(".js"), "text/javascript; charset=utf-8");
  EXPECT_EQ(contentTypeFor(".HTML"), "text/html; charset=utf-8");
  EXPECT_EQ(contentTypeFor(".png"), "image/png");
  EXPECT_FALSE(contentTypeFor(".bin"));
  EXPECT_FALSE(contentTypeFor(""));
  EXPECT_TRUE(isJsonContentType("application/json"));
  EXPECT_TRUE(isJsonContentType("Application/JSON; charset=utf-8"));
  EXPECT_FALSE(isJsonContentType("text/plain"));
  EXPECT_FALSE(isJsonContentType("application/jsonp"));
  EXPECT_FALSE(isJsonContentType(""));
}

TEST(WebRequestPolicy, ResolvesOnlyFilesInsideTheRoot) {
  const fs::path base = fs::temp_directory_path() / ("tw-policy-" + std::to_string(getpid()));
  fs::remove_all(base);
  fs::create_directories(base / "web" / "js");
  std::ofstream(base / "web" / "index.html") << "page";
  std::ofstream(base / "web" / "js" / "app.js") << "code";
  std::ofstream(base / "web" / "data.bin") << "bytes";
  std::ofstream(base / "outside.js") << "secret";
  fs::create_symlink(base / "outside.js", base / "web" / "escape.js");
  fs::create_directories(base / "web" / "folder.js");
  const fs::path root = base / "web";

  EXPECT_EQ(resolveWebFile(root, "/"), fs::canonical(root / "index.html"));
  EXPECT_EQ(resolveWebFile(root, "/js/app.js"), fs::canonical(root / "js" / "app.js"));
  for (const char* path : {"", "js/app.js", "/../outside.js", "/js/../index.html", "/./index.html", "/js//app.js",
                           "/data.bin", "/escape.js", "/folder.js", "/missing.html", "/js\\app.js", "/.git/config",
                           "/index.html\n", "/C:/index.html"})
    EXPECT_FALSE(resolveWebFile(root, path)) << path;
  EXPECT_FALSE(resolveWebFile(base / "absent", "/index.html"));
  fs::remove_all(base);
}

}  // namespace
}  // namespace tw::web
