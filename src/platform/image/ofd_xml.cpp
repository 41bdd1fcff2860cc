#include "platform/image/ofd_xml.h"

#include <algorithm>
#include <cstdio>

namespace kximage {
namespace {

constexpr const char* kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr const char* kNamespace = "xmlns:ofd=\"http://www.ofdspec.org/2016\"";
constexpr unsigned kFontId = 1;

// Millimetres with up to three decimals, no trailing zeros.
std::string Mm(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    std::string number = text;
    while (number.back() == '0')
        number.pop_back();
    if (number.back() == '.') number.pop_back();
    return number == "-0" ? "0" : number;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // Control characters are not allowed in XML 1.0.
                out += (static_cast<unsigned char>(c) < 0x20 && c != '\t') ? ' ' : c;
        }
    }
    return out;
}

size_t CodePoints(const std::string& text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

double ToMm(double pixels, uint32_t dpi) {
    return pixels * 25.4 / dpi;
}

std::string Box(double x, double y, double width, double height) {
    return Mm(x) + " " + Mm(y) + " " + Mm(width) + " " + Mm(height);
}

std::string TextObject(const OfdTextItem& item, uint32_t dpi, unsigned id) {
    double x = ToMm(item.box.left, dpi), y = ToMm(item.box.top, dpi);
    double width = ToMm(item.box.right - item.box.left, dpi);
    double height = ToMm(item.box.bottom - item.box.top, dpi);
    double size = item.fontSize > 0 ? ToMm(item.fontSize, dpi) : height;
    double baseline = std::min(size * 0.86, height);
    std::string xml = "<ofd:TextObject ID=\"" + std::to_string(id) + "\" Boundary=\"" +
                      Box(x, y, width, height) + "\" Font=\"" + std::to_string(kFontId) +
                      "\" Size=\"" + Mm(size) + "\" Fill=\"false\">";
    xml += "<ofd:FillColor Value=\"0 0 0\" Alpha=\"0\"/>";
    xml += "<ofd:TextCode X=\"0\" Y=\"" + Mm(baseline) + "\"";
    size_t glyphs = CodePoints(item.text);
    if (glyphs > 1)  // spread the glyphs over the box so selection matches the picture
        xml += " DeltaX=\"g " + std::to_string(glyphs - 1) + " " + Mm(width / glyphs) + "\"";
    xml += '>';
    xml += Escape(item.text);
    xml += "</ofd:TextCode></ofd:TextObject>\n";
    return xml;
}

std::string PageXml(const OfdPageContent& page, unsigned mediaId, unsigned* nextId) {
    const PageImage& image = *page.image;
    std::string size = Mm(image.WidthInches() * 25.4) + " " + Mm(image.HeightInches() * 25.4);
    unsigned layerId = (*nextId)++, imageId = (*nextId)++;
    std::string xml = std::string(kHeader) + "<ofd:Page " + kNamespace + ">\n";
    xml += "<ofd:Area><ofd:PhysicalBox>0 0 " + size + "</ofd:PhysicalBox></ofd:Area>\n";
    xml += "<ofd:Content>\n<ofd:Layer ID=\"" + std::to_string(layerId) + "\" Type=\"Body\">\n";
    xml += "<ofd:ImageObject ID=\"" + std::to_string(imageId) + "\" ResourceID=\"" +
           std::to_string(mediaId) + "\" Boundary=\"0 0 " + size + "\" CTM=\"" +
           Mm(image.WidthInches() * 25.4) + " 0 0 " + Mm(image.HeightInches() * 25.4) +
           " 0 0\"/>\n";
    for (const OfdTextItem& item : *page.texts)
        xml += TextObject(item, image.dpi, (*nextId)++);
    xml += "</ofd:Layer>\n</ofd:Content>\n</ofd:Page>\n";
    return xml;
}

}  // namespace

std::string OfdPageContentPath(size_t index) {
    return "Doc_0/Pages/Page_" + std::to_string(index) + "/Content.xml";
}

std::string OfdImageFileName(size_t index, const PageImage& image) {
    return "Image_" + std::to_string(index) + (image.kind == PageImageKind::kPng ? ".png" : ".jpg");
}

OfdXml BuildOfdXml(const std::vector<OfdPageContent>& pages, const std::string& documentId,
                   const std::string& date) {
    OfdXml xml;
    unsigned nextId = kFontId + 1;
    std::string media, pageList;
    for (size_t i = 0; i < pages.size(); ++i) {
        unsigned mediaId = nextId++, pageId = nextId++;
        const char* format = pages[i].image->kind == PageImageKind::kPng ? "PNG" : "JPEG";
        media += "<ofd:MultiMedia ID=\"" + std::to_string(mediaId) + "\" Type=\"Image\" Format=\"" +
                 format + "\"><ofd:MediaFile>" + OfdImageFileName(i, *pages[i].image) +
                 "</ofd:MediaFile></ofd:MultiMedia>\n";
        pageList += "<ofd:Page ID=\"" + std::to_string(pageId) + "\" BaseLoc=\"Pages/Page_" +
                    std::to_string(i) + "/Content.xml\"/>\n";
        xml.pages.push_back(PageXml(pages[i], mediaId, &nextId));
    }
    const PageImage& first = *pages.front().image;
    xml.ofd = std::string(kHeader) + "<ofd:OFD " + kNamespace +
              " Version=\"1.0\" DocType=\"OFD\">\n<ofd:DocBody>\n<ofd:DocInfo>\n<ofd:DocID>" +
              documentId + "</ofd:DocID>\n<ofd:CreationDate>" + date +
              "</ofd:CreationDate>\n<ofd:Creator>ScanBridge</ofd:Creator>\n</ofd:DocInfo>\n" +
              "<ofd:DocRoot>Doc_0/Document.xml</ofd:DocRoot>\n</ofd:DocBody>\n</ofd:OFD>\n";
    xml.document =
        std::string(kHeader) + "<ofd:Document " + kNamespace +
        ">\n<ofd:CommonData>\n<ofd:MaxUnitID>" + std::to_string(nextId - 1) +
        "</ofd:MaxUnitID>\n<ofd:PageArea><ofd:PhysicalBox>0 0 " + Mm(first.WidthInches() * 25.4) +
        " " + Mm(first.HeightInches() * 25.4) +
        "</ofd:PhysicalBox></ofd:PageArea>\n<ofd:PublicRes>PublicRes.xml</ofd:PublicRes>\n" +
        "<ofd:DocumentRes>DocumentRes.xml</ofd:DocumentRes>\n</ofd:CommonData>\n" +
        "<ofd:Pages>\n" + pageList + "</ofd:Pages>\n</ofd:Document>\n";
    xml.publicRes = std::string(kHeader) + "<ofd:Res " + kNamespace +
                    " BaseLoc=\"Res\">\n<ofd:Fonts><ofd:Font ID=\"" + std::to_string(kFontId) +
                    "\" FontName=\"宋体\" FamilyName=\"宋体\"/></ofd:Fonts>\n</ofd:Res>\n";
    xml.documentRes = std::string(kHeader) + "<ofd:Res " + kNamespace +
                      " BaseLoc=\"Res\">\n<ofd:MultiMedias>\n" + media +
                      "</ofd:MultiMedias>\n</ofd:Res>\n";
    return xml;
}

}  // namespace kximage
