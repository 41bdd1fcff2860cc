// OFD parts checked against the content models of the OFD schema (GB/T
// 33190): every XML part of a written package is parsed with libxml2 and
// every element is checked for its namespace, the order and presence of its
// children and the names and presence of its attributes.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "image_test_util.h"
#include "platform/image/kx_imgfmt.h"
#include "platform/image/ofd_package.h"
#include "support/temp_dir.h"

using namespace image_test;
using testing_support::TempDir;

namespace {

constexpr const char* kOfdNamespace = "http://www.ofdspec.org/2016";

// The content model of an element. children: the schema's sequence in
// order, each entry one element name or several joined by '|' that may
// appear in any order among themselves (a choice, or a repeated group); a
// trailing '*' marks an entry that must appear. attributes: every attribute
// the type allows, '*' marking the required ones. Elements of simple content
// have no children.
struct ContentModel {
    std::vector<std::string> children;
    std::vector<std::string> attributes;
};

// Attributes of CT_GraphicUnit, shared by ImageObject and TextObject.
std::vector<std::string> GraphicUnit(std::vector<std::string> more) {
    std::vector<std::string> names = {"ID*",        "Boundary*",   "Name", "Visible", "CTM",
                                      "DrawParam",  "LineWidth",   "Cap",  "Join",    "MiterLimit",
                                      "DashOffset", "DashPattern", "Alpha"};
    names.insert(names.end(), more.begin(), more.end());
    return names;
}

const ContentModel kNoContent{};
const ContentModel kPageArea{{"PhysicalBox*", "ApplicationBox", "ContentBox", "BleedBox"}, {}};

// Keyed by element name; "Parent/Name" where the same name has another type
// under that parent (a Page listed in Document.xml is not the page root).
const std::map<std::string, ContentModel>& Models() {
    static const std::map<std::string, ContentModel> models = {
        // OFD.xml
        {"OFD", {{"DocBody*"}, {"Version*", "DocType*"}}},
        {"DocBody", {{"DocInfo*", "DocRoot", "Versions", "Signatures"}, {}}},
        {"DocInfo",
         {{"DocID", "Title", "Author", "Subject", "Abstract", "CreationDate", "ModDate", "DocUsage",
           "Cover", "Keywords", "Creator", "CreatorVersion", "CustomDatas"},
          {}}},
        {"DocID", kNoContent},
        {"CreationDate", kNoContent},
        {"Creator", kNoContent},
        {"CreatorVersion", kNoContent},
        {"DocRoot", kNoContent},
        // Document.xml
        {"Document",
         {{"CommonData*", "Pages*", "Outlines", "Permissions", "Actions", "VPreferences",
           "Bookmarks", "Attachments", "Annotations", "CustomTags", "Extensions"},
          {}}},
        {"CommonData",
         {{"MaxUnitID*", "PageArea*", "PublicRes", "DocumentRes", "TemplatePage", "DefaultCS"},
          {}}},
        {"MaxUnitID", kNoContent},
        {"PageArea", kPageArea},
        {"PhysicalBox", kNoContent},
        {"PublicRes", kNoContent},
        {"DocumentRes", kNoContent},
        {"Pages", {{"Page*"}, {}}},
        {"Pages/Page", {{}, {"ID*", "BaseLoc*"}}},
        // PublicRes.xml, DocumentRes.xml: the resource lists in any order
        {"Res", {{"ColorSpaces|DrawParams|Fonts|MultiMedias|CompositeGraphicUnits"}, {"BaseLoc*"}}},
        {"Fonts", {{"Font*"}, {}}},
        {"Font",
         {{"FontFile"},
          {"ID*", "FontName*", "FamilyName", "Charset", "Italic", "Bold", "Serif", "FixedWidth"}}},
        {"MultiMedias", {{"MultiMedia*"}, {}}},
        {"MultiMedia", {{"MediaFile*"}, {"ID*", "Type*", "Format"}}},
        {"MediaFile", kNoContent},
        // Pages/Page_N/Content.xml
        {"Page", {{"Template", "PageRes", "Area", "Content", "Actions"}, {}}},
        {"Area", kPageArea},
        {"Content", {{"Layer*"}, {}}},
        {"Layer",
         {{"TextObject|PathObject|ImageObject|CompositeObject|PageBlock"},
          {"ID*", "Type", "DrawParam"}}},
        {"ImageObject",
         {{"Actions", "Clips", "Border"},
          GraphicUnit({"ResourceID*", "Substitution", "ImageMask"})}},
        {"TextObject",
         {{"Actions", "Clips", "FillColor", "StrokeColor", "CGTransform|TextCode*"},
          GraphicUnit({"Font*", "Size*", "Stroke", "Fill", "HScale", "ReadDirection",
                       "CharDirection", "Weight", "Italic"})}},
        {"FillColor", {{}, {"Value", "Index", "ColorSpace", "Alpha"}}},
        {"TextCode", {{}, {"X", "Y", "DeltaX", "DeltaY"}}},
    };
    return models;
}

std::string Bare(const std::string& name) {
    return name.back() == '*' ? name.substr(0, name.size() - 1) : name;
}

// The position of a child's name in the sequence, or -1.
int PositionIn(const std::vector<std::string>& sequence, const std::string& child) {
    for (size_t i = 0; i < sequence.size(); ++i) {
        std::string entry = "|" + Bare(sequence[i]) + "|";
        if (entry.find("|" + child + "|") != std::string::npos) return static_cast<int>(i);
    }
    return -1;
}

std::vector<const xmlNode*> ElementChildren(const xmlNode* node) {
    std::vector<const xmlNode*> children;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE) children.push_back(child);
    return children;
}

// Every deviation of the element and its descendants from the models, one
// line each, with the element's path.
void Check(const xmlNode* node, const std::string& parent, std::vector<std::string>* faults) {
    std::string name = reinterpret_cast<const char*>(node->name);
    std::string path = parent + "/" + name;
    if (node->ns == nullptr ||
        std::strcmp(reinterpret_cast<const char*>(node->ns->href), kOfdNamespace) != 0)
        faults->push_back(path + ": not in the OFD namespace");
    std::string parentName = parent.substr(parent.rfind('/') + 1);
    auto model = Models().find(parentName + "/" + name);
    if (model == Models().end()) model = Models().find(name);
    if (model == Models().end()) {
        faults->push_back(path + ": element not expected here");
        return;
    }
    const ContentModel& expected = model->second;

    std::set<std::string> present;
    for (const xmlAttr* attribute = node->properties; attribute != nullptr;
         attribute = attribute->next) {
        std::string attributeName = reinterpret_cast<const char*>(attribute->name);
        present.insert(attributeName);
        if (PositionIn(expected.attributes, attributeName) < 0)
            faults->push_back(path + ": attribute " + attributeName + " not allowed");
    }
    for (const std::string& attribute : expected.attributes)
        if (attribute.back() == '*' && present.count(Bare(attribute)) == 0)
            faults->push_back(path + ": required attribute " + Bare(attribute) + " missing");

    int last = 0;
    std::set<int> seen;
    for (const xmlNode* child : ElementChildren(node)) {
        std::string childName = reinterpret_cast<const char*>(child->name);
        int position = PositionIn(expected.children, childName);
        if (position < 0) {
            faults->push_back(path + ": child " + childName + " not allowed");
        } else if (position < last) {
            faults->push_back(path + ": child " + childName + " after " +
                              Bare(expected.children[last]));
        } else {
            last = position;
            seen.insert(position);
        }
        Check(child, path, faults);
    }
    for (size_t i = 0; i < expected.children.size(); ++i)
        if (expected.children[i].back() == '*' && seen.count(static_cast<int>(i)) == 0)
            faults->push_back(path + ": required child " + Bare(expected.children[i]) + " missing");
    if (expected.children.empty() && !ElementChildren(node).empty())
        faults->push_back(path + ": simple content expected");
}

// The deviations of one XML part, whose root must be the named element.
std::vector<std::string> FaultsOfPart(const std::string& xml, const std::string& root) {
    std::vector<std::string> faults;
    xmlDoc* document = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "part.xml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR);
    if (document == nullptr) return {"not well-formed XML"};
    const xmlNode* top = xmlDocGetRootElement(document);
    if (top == nullptr || root != reinterpret_cast<const char*>(top->name))
        faults.push_back("root is not " + root);
    else
        Check(top, "", &faults);
    xmlFreeDoc(document);
    return faults;
}

std::string RootOfPart(const std::string& name) {
    if (name == "OFD.xml") return "OFD";
    if (name.ends_with("/Document.xml")) return "Document";
    if (name.ends_with("Res.xml")) return "Res";
    if (name.ends_with("/Content.xml")) return "Page";
    return "";
}

// A document of a searchable colour page, a black-and-white page and a page
// without text: every element the writer makes.
TEST(OfdSchema, EveryPartFollowsTheSchemaOrder) {
    TempDir dir;
    ImagePtr colour = Photo(400, 200);
    ImagePtr bw = Pattern(100, 200, KX_PIXEL_BW);
    kximage::OfdPackage package;
    std::vector<kximage::OfdTextItem> texts = {{"Hello", KXRect{40, 20, 140, 60}, 30},
                                               {"扫描", KXRect{200, 100, 260, 140}, 0}};
    ASSERT_EQ(package.AddPage(colour.get(), 80, texts), 0);
    ASSERT_EQ(package.AddPage(bw.get(), 80), 0);
    ASSERT_EQ(package.AddPage(colour.get(), 80), 0);
    std::string path = dir.File("doc.ofd");
    ASSERT_EQ(package.Write(path), 0);

    size_t parts = 0;
    for (const std::string& name : ZipEntries(path)) {
        if (!name.ends_with(".xml")) continue;
        SCOPED_TRACE(name);
        std::string root = RootOfPart(name);
        ASSERT_FALSE(root.empty()) << "unexpected part";
        std::vector<std::string> faults = FaultsOfPart(ReadZipEntry(path, name), root);
        EXPECT_TRUE(faults.empty()) << testing::PrintToString(faults);
        ++parts;
    }
    // OFD.xml, Document.xml, PublicRes.xml, DocumentRes.xml, three pages.
    EXPECT_EQ(parts, 7u);
}

// The checker itself: parts out of order or incomplete are caught.
TEST(OfdSchema, CheckerFindsMisplacedMissingAndUnknownElements) {
    const std::string ns = std::string(" xmlns:ofd=\"") + kOfdNamespace + "\"";
    struct Case {
        const char* root;
        std::string xml;
        const char* fault;
    } cases[] = {
        {"OFD",
         "<ofd:OFD" + ns +
             " Version=\"1.0\" DocType=\"OFD\"><ofd:DocBody><ofd:DocInfo><ofd:Creator>x"
             "</ofd:Creator><ofd:CreationDate>2024-01-01</ofd:CreationDate></ofd:DocInfo>"
             "</ofd:DocBody></ofd:OFD>",
         "/OFD/DocBody/DocInfo: child CreationDate after Creator"},
        {"Document", "<ofd:Document" + ns + "><ofd:Pages/></ofd:Document>",
         "/Document: required child CommonData missing"},
        {"Page",
         "<ofd:Page" + ns +
             "><ofd:Content><ofd:Layer ID=\"1\"><ofd:TextObject ID=\"2\" Boundary=\"0 0 1 1\" "
             "Font=\"1\" Size=\"1\"><ofd:TextCode>a</ofd:TextCode><ofd:FillColor/>"
             "</ofd:TextObject></ofd:Layer></ofd:Content></ofd:Page>",
         "/Page/Content/Layer/TextObject: child FillColor after CGTransform|TextCode"},
        {"Res", "<ofd:Res" + ns + "><ofd:Fonts/></ofd:Res>",
         "/Res: required attribute BaseLoc missing"},
        {"Res", "<ofd:Res" + ns + " BaseLoc=\"Res\"><Fonts/></ofd:Res>",
         "/Res/Fonts: not in the OFD namespace"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> faults = FaultsOfPart(c.xml, c.root);
        EXPECT_NE(std::find(faults.begin(), faults.end(), c.fault), faults.end())
            << c.fault << " not in " << testing::PrintToString(faults);
    }
}

}  // namespace
