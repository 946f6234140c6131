// One skin element parsed from text, for tests of the readers and builders; the
// document lives as long as the node is used.
#pragma once
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>

namespace gui::testing {

struct XmlElement {
  explicit XmlElement(const std::string& xml) {
    EXPECT_TRUE(document.load_string(xml.c_str())) << xml;
    node = document.first_child();
  }
  pugi::xml_document document;
  pugi::xml_node node;
};

}  // namespace gui::testing
