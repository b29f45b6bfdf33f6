#include "app/prune.h"

#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

TEST(PruneNames, TheDescriptorsTogetherNameTheFiles)
{
    TempDir dir;
    // Descriptors of one application's releases: names as they come, names
    // the download refuses, icons of every kind.
    const std::pair<const char*, int> sites[] = {
        {R"({"codebase": "http://host/app/", "mainclass": "M", "icon": "img/app.ico",
             "resources": ["app.jar", "lib/lib-1.1.jar"]})", 1},
        {R"({"codebase": "HTTP:\\\\HOST/app/", "mainclass": "M",
             "resources": ["tool.jar", "lib/", "a\\b.jar", "lib-1.0.jar."]})", 1},
        {R"({"codebase": "http://host/app/.", "mainclass": "M", "resources": ["x/dot.jar"],
             "icon": "https://cdn/logo.ICO"})", 1},
        {R"({"codebase": "http://host/app/", "mainclass": "M", "resources": [],
             "icon": "logo.png"})", 1},
    };
    StringList names = {nullptr, 0};
    for (const auto& [text, added] : sites) {
        write_file(dir.file("site.nlp"), text);
        Descriptor descriptor;
        ASSERT_EQ(descriptor_load(dir.file("site.nlp").c_str(), &descriptor), nullptr);
        EXPECT_EQ(prune_names_add(&descriptor, &names), added);
        descriptor_free(&descriptor);
    }
    // A name the download refuses (empty, holding "\") is never stored,
    // nor an icon that is no .ico file.
    std::vector<std::string> held(names.items, names.items + names.count);
    EXPECT_EQ(held, (std::vector<std::string>{"app.jar", "lib-1.1.jar", "app.ico", "tool.jar",
                                              "lib-1.0.jar.", "dot.jar", "logo.ICO"}));
    // Windows's way with names: letter case aside, trailing dots and blanks
    // dropped.
    for (const char* name : {"app.jar", "APP.Jar", "lib-1.1.jar. ", "tool.jar", "lib-1.0.jar"})
        EXPECT_EQ(prune_names_hold(&names, name), 1) << name;
    for (const char* name : {"other.jar", "lib-1.2.jar", "app.ja", "app.jarx", "download-1.part"})
        EXPECT_EQ(prune_names_hold(&names, name), 0) << name;
    string_list_free(&names);
}

} // namespace
