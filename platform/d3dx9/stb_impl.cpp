// The one place where stb's picture reader and PNG writer are compiled. The reader
// keeps the formats the texture loaders know (the game's own pictures are PNG);
// every other decoder would be one more that a bad file could reach. The library
// is third-party code; its own warnings are not ours to fix.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_FAILURE_USERMSG
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#include <stb_image.h>
#include <stb_image_write.h>
#pragma GCC diagnostic pop
