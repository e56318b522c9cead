#pragma once

#include <QString>

struct BinaryJob;
struct IntelHexJoinJob;
struct LoRaJob;

// Whether the images of a job fit the flash chosen for it, asked before anything is written: why
// the first image that does not fit does not, naming the overflow in bytes; empty when every image
// fits, or when no flash was chosen (then nothing is read).
QString flashOverflowOf(const LoRaJob &job);
QString flashOverflowOf(const BinaryJob &job);
QString flashOverflowOf(const IntelHexJoinJob &job);
