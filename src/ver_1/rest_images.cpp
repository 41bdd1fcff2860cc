// REST endpoints of the image store.
#include "ver_1/manager_v1.h"
#include "ver_1/rest_endpoints.h"

namespace ver_1::rest {

namespace {

// [{"imageName":"…","src":"…"},…] without spaces.
std::string ImageArray(const std::vector<NamedImage>& images) {
    std::string text = "[";
    for (const NamedImage& image : images) {
        if (text.size() > 1) text += ",";
        text += "{\"imageName\":" + Quoted(image.name) + ",\"src\":" + Quoted(image.dataUrl) + "}";
    }
    return text + "]";
}

// "isHorizontal" is true unless it is exactly "false" (missing: true).
bool Horizontal(const RestCall& call) {
    return call.Form("isHorizontal") != "false";
}

}  // namespace

void GetImageByPid(RestCall& call) {
    std::vector<NamedImage> images;
    call.manager().GetImagesByPid(call.Query("pid"), &images);
    call.SendData(ImageArray(images));
}

void SaveImage(RestCall& call) {
    call.manager().SaveImageData(call.Form("pid"), call.Form("imageName"), call.Form("image"));
    call.SendText("success");
}

void DeleteImage(RestCall& call) {
    call.manager().DeleteImage(call.Form("pid"), call.Form("imageName"));
    call.SendText("success");
}

void DeleteAllImage(RestCall& call) {
    call.manager().DeleteAllImages(call.Form("pid"));
    call.SendText("success");
}

void MergeHorizontal(RestCall& call) {
    std::vector<int> indexes;
    for (const std::string& index : call.FormAll("indexs[]"))
        indexes.push_back(ParamInt(index));
    NamedImage merged;
    call.manager().MergeImages(call.Form("pid"), Horizontal(call), indexes, &merged);
    call.SendData("{\"imageName\":" + Quoted(merged.name) + ", \"src\":" + Quoted(merged.dataUrl) +
                  "}");
}

void BookSort(RestCall& call) {
    std::vector<NamedImage> images;
    std::string pid = call.Form("pid");
    if (!call.manager().scanning()) {
        call.manager().SortImagesByNumber(pid);
        call.manager().GetImagesByPid(pid, &images);
    }
    call.SendData(ImageArray(images));
}

void ExchangeImage(RestCall& call) {
    std::vector<std::string> indexes = call.FormAll("indexs[]");
    int first = indexes.size() > 0 ? ParamInt(indexes[0]) : -1;
    int second = indexes.size() > 1 ? ParamInt(indexes[1]) : -1;
    call.manager().ExchangeImages(call.Form("pid"), first, second);
    call.SendText("success");
}

void GetImageByName(RestCall& call) {
    std::string dataUrl;
    call.manager().GetImageByName(call.Query("pid"), call.Query("imageName"), &dataUrl);
    call.SendText(dataUrl);
}

void ResetPatchIndex(RestCall& call) {
    call.SendText("success");
}

void Split(RestCall& call) {
    // "x2" and "y2" belong to the request but do not change the cut.
    NamedImage first;
    NamedImage second;
    call.manager().SplitImage(call.Form("pid"), call.Form("imageName"), Horizontal(call),
                              ParamInt(call.Form("x1")), ParamInt(call.Form("y1")), &first,
                              &second);
    call.SendData("{\"oneSrc\":" + Quoted(first.dataUrl) + ", \"oneName\":" + Quoted(first.name) +
                  ", \"twoSrc\":" + Quoted(second.dataUrl) +
                  ", \"twoName\":" + Quoted(second.name) + "}");
}

}  // namespace ver_1::rest
