// Writes res/done.wav, the sound played after a picture is saved: PCM,
// mono, 8 bits, 11025 samples per second, 2776 samples (about a quarter of
// a second) of four short noise bursts, each fading out and each quieter
// than the one before, like a shutter.
//
// The output is committed; the build never runs this. To remake it:
//   g++ -std=c++17 -O2 -o /tmp/make-done-sound tools/MakeDoneSound.cpp
//   /tmp/make-done-sound res/done.wav
#include "GeneratedFile.h"

namespace {

const unsigned SampleRate = 11025;
const unsigned SampleCount = 2776;
const unsigned Bursts = 4;
const unsigned BurstPeriod = SampleCount / Bursts;  // 694 samples
const unsigned BurstLength = 380;                   // the rest of a period is silence
const int Silence = 128;                            // 8-bit PCM is unsigned

// A fixed linear congruential generator, so the file is the same every time.
uint32_t NoiseState = 20240607;
int NextNoise()  // -128 .. 127
{
    NoiseState = NoiseState * 1103515245u + 12345u;
    return static_cast<int>(NoiseState >> 16 & 0xFF) - 128;
}

uint8_t SampleAt(unsigned index)
{
    unsigned burst = index / BurstPeriod;
    unsigned offset = index % BurstPeriod;
    int noise = NextNoise();  // drawn for every sample, heard only in bursts
    if (burst >= Bursts || offset >= BurstLength)
        return Silence;
    // Loudest at the start of a burst, fading linearly to nothing; each
    // burst starts at a lower level than the one before.
    int level = 100 - static_cast<int>(burst) * 20;
    int fade = static_cast<int>(BurstLength - offset);
    int value = Silence + noise * level * fade / (100 * static_cast<int>(BurstLength));
    return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

void PutTag(std::vector<uint8_t>& out, const char* tag)
{
    out.insert(out.end(), tag, tag + 4);
}

std::vector<uint8_t> BuildFile()
{
    std::vector<uint8_t> out;
    PutTag(out, "RIFF");
    Put32(out, 36 + SampleCount);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, 1);  // mono
    Put32(out, SampleRate);
    Put32(out, SampleRate);  // bytes per second: one byte a sample
    Put16(out, 1);           // block alignment
    Put16(out, 8);           // bits per sample
    PutTag(out, "data");
    Put32(out, SampleCount);
    for (unsigned i = 0; i < SampleCount; ++i)
        out.push_back(SampleAt(i));
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    return WriteGeneratedFile(argc, argv, "OUTPUT.wav", BuildFile());
}
