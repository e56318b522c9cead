// Must not compile: common lies below image, and a header of a layer above it (here image's) is
// out of its reach. The test common_cannot_include_image passes only when the compiler stops at the
// second include for want of the file.
#include "hextext.h"
#include "memoryimage.h"
