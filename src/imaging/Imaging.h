#pragma once

// The imaging layer in one include, for the callers that use most of it: decoding, the pixel
// operations, bitmap files and colour reduction, each declared in a header of its own.
#include "imaging/BitmapFile.h"
#include "imaging/ColourReduction.h"
#include "imaging/Decoding.h"
#include "imaging/ImageOperations.h"
#include "imaging/Result.h"
