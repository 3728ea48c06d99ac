// The one way this program includes miniaudio: only the low-level device API
// is used, so the decoders, encoders, generators, node graph and engine are
// left out of the build. Every file including miniaudio goes through here, so
// the implementation and its users agree on these options.
#pragma once

#define MA_NO_DECODING
#define MA_NO_ENCODING
#define MA_NO_GENERATION
#define MA_NO_RESOURCE_MANAGER
#define MA_NO_NODE_GRAPH
#define MA_NO_ENGINE

#include <miniaudio.h>
