// The "/VevIzer/" endpoints, one function each, grouped by family:
// scanner and parameters (rest_device.cpp), images (rest_images.cpp),
// documents and upload (rest_documents.cpp). Each reads its parameters,
// calls one ManagerV1 operation and sends exactly one response.
//
// The route table (rest_routes.cpp) matches method and path exactly, in a
// fixed order; a "form" endpoint also needs a Content-Type containing
// "application/x-www-form-urlencoded". Service thread only.
#pragma once

#include "ver_1/rest_call.h"

namespace ver_1::rest {

void GetVersionInfo(RestCall& call);
void GetDevices(RestCall& call);
void GetParams(RestCall& call);
void SetParams(RestCall& call);
void GetLastBatch(RestCall& call);
void GetSerialNumber(RestCall& call);

void GetImageByPid(RestCall& call);
void SaveImage(RestCall& call);
void DeleteImage(RestCall& call);
void DeleteAllImage(RestCall& call);
void MergeHorizontal(RestCall& call);
void BookSort(RestCall& call);
void ExchangeImage(RestCall& call);
void GetImageByName(RestCall& call);
void ResetPatchIndex(RestCall& call);
void Split(RestCall& call);

void MajorOfd(RestCall& call);
void MajorOfdFile(RestCall& call);
void MajorPdf(RestCall& call);
void MajorPdfFile(RestCall& call);
void MajorTiff(RestCall& call);
void MajorTiffFile(RestCall& call);
void DownLoadZip(RestCall& call);
void DownLoadZipFile(RestCall& call);
void UploadImage(RestCall& call);

}  // namespace ver_1::rest
