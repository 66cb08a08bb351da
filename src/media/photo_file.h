#pragma once

#include <cstdint>
#include <string>

class TBinaryFile;

// A photo's metadata as Exiv2 reads it: when it was taken, the picture's
// size, camera, lens, exposure and where. Only the metadata is read, never
// the pixels. Texts are empty and numbers zero where the file has nothing.
class TPhotoFile {
public:
    // onlyZeros: the caller knows every byte reads as zero (the size is all
    // holes), so the file need not be opened.
    bool ReadFromFile(const std::string& path, bool onlyZeros = false);

    bool Valid = false;
    std::string Error; // why the file was not read, for the log
    // ISO 8601, with the fraction of a second and the offset from UTC where
    // the camera wrote them: "2024-05-17T14:03:09", "2024-05-17T14:03:09.042+02:00".
    std::string DateTaken;
    int64_t Width = 0; // pixels
    int64_t Height = 0;
    std::string CameraMake, CameraModel, Lens;
    std::string ExposureTime; // seconds: "1/250", "0.5", "2"
    double FNumber = 0;
    int64_t ISO = 0;
    double FocalLength = 0;  // millimetres
    int64_t Orientation = 0; // the EXIF code, 1 to 8
    bool HasGPS = false;
    double Latitude = 0; // signed decimal degrees, north and east positive
    double Longitude = 0;

private:
    bool ReadOpened(const std::string& path, TBinaryFile& file);
};

// "2024:05:17 14:03:09" (the EXIF form) as "2024-05-17T14:03:09"; empty when
// the text is not a date. Exposure as a short fraction or a decimal.
std::string ExifDateToIso(const std::string& exif);
std::string ExposureText(int64_t num, int64_t den);
