#include "output/PictureFiles.h"

#include <stdio.h>
#include <stdlib.h>

#include "platform/HostFiles.h"
#include "platform/WideCrt.h"

std::vector<BYTE> TopDownRgb(const DibImage& image)
{
    std::vector<BYTE> rgb;
    for (int y = 0; y < image.height; ++y) {
        const BYTE* row = image.bits + (image.height - 1 - y) * image.RowPitch();
        for (int x = 0; x < image.width; ++x) {
            rgb.push_back(row[3 * x + 2]);
            rgb.push_back(row[3 * x + 1]);
            rgb.push_back(row[3 * x]);
        }
    }
    return rgb;
}

void FillPicture(DibImage& image, PictureColour colour)
{
    for (int y = 0; y < image.height; ++y) {
        BYTE* row = image.bits + (image.height - 1 - y) * image.RowPitch();
        for (int x = 0; x < image.width; ++x) {
            DWORD c = colour(x, y);
            row[3 * x] = static_cast<BYTE>(c);
            row[3 * x + 1] = static_cast<BYTE>(c >> 8);
            row[3 * x + 2] = static_cast<BYTE>(c >> 16);
        }
        for (int i = 3 * image.width; i < image.RowPitch(); ++i)
            row[i] = static_cast<BYTE>(0x3C + i);
    }
}

std::string UnixPath(const std::u16string& windowsPath)
{
    char path[4096];
    if (!UnixPathOf(W(windowsPath), path, sizeof path))
        return std::string();
    return path;
}

namespace {

bool WritePpm(const std::u16string& path, int width, int height, const std::vector<BYTE>& rgb)
{
    FILE* file = _wfopen(W(path), L"wb");
    if (!file)
        return false;
    fprintf(file, "P6\n%d %d\n255\n", width, height);
    fwrite(rgb.data(), 1, rgb.size(), file);
    return fclose(file) == 0;
}

// glibc's system(): a Unix shell command, run beside Wine.
bool RunCommand(const std::string& command)
{
    return system(command.c_str()) == 0;
}

}  // namespace

std::vector<BYTE> CjpegBytes(const ScratchFolder& folder, int width, int height,
                             const std::vector<BYTE>& rgb, int quality)
{
    std::u16string ppm = folder.Join("cjpeg-input.ppm");
    std::u16string jpeg = folder.Join("cjpeg-output.jpg");
    if (!WritePpm(ppm, width, height, rgb))
        return {};
    std::string command = "cjpeg -quality " + std::to_string(quality) + " -baseline -outfile '" +
                          UnixPath(jpeg) + "' '" + UnixPath(ppm) + "'";
    if (!RunCommand(command))
        return {};
    return ReadWholeFile(W(jpeg));
}

bool DjpegDecode(const ScratchFolder& folder, const std::u16string& jpegPath, int& width,
                 int& height, std::vector<BYTE>& rgb)
{
    std::u16string ppm = folder.Join("djpeg-output.ppm");
    if (!RunCommand("djpeg -ppm -outfile '" + UnixPath(ppm) + "' '" + UnixPath(jpegPath) + "'"))
        return false;
    std::vector<BYTE> bytes = ReadWholeFile(W(ppm));
    int maximum = 0, used = 0;
    std::string text(bytes.begin(), bytes.begin() + (std::min<size_t>)(bytes.size(), 64));
    if (sscanf(text.c_str(), "P6 %d %d %d%n", &width, &height, &maximum, &used) != 3)
        return false;
    size_t start = used + 1;
    size_t size = static_cast<size_t>(width) * height * 3;
    if (bytes.size() < start + size)
        return false;
    rgb.assign(bytes.begin() + start, bytes.begin() + start + size);
    return true;
}
