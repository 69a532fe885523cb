// Binds the embedded byte arrays (placed by the generated images.cpp) to their ids.
#include "resources/ResourceTable.h"

#define LUSTRANA_IMAGE(name)                           \
    extern "C" const unsigned char name[];             \
    extern "C" const unsigned char name##_end[];
#define LUSTRANA_IMAGES(id) LUSTRANA_IMAGE(lustranaImage##id) LUSTRANA_IMAGE(lustranaImage##id##_2x)
LUSTRANA_IMAGES(101)
LUSTRANA_IMAGES(104)
LUSTRANA_IMAGES(105)
LUSTRANA_IMAGES(106)
LUSTRANA_IMAGES(107)
LUSTRANA_IMAGES(108)
LUSTRANA_IMAGES(109)
LUSTRANA_IMAGES(110)
LUSTRANA_IMAGES(111)
#undef LUSTRANA_IMAGES
#undef LUSTRANA_IMAGE

namespace {
#define LUSTRANA_ENTRY(id)                                                                                  \
    {id, 1, lustranaImage##id, (std::size_t)(lustranaImage##id##_end - lustranaImage##id)},                \
        {id, 2, lustranaImage##id##_2x, (std::size_t)(lustranaImage##id##_2x_end - lustranaImage##id##_2x)}
const EmbeddedResource table[] = {
    LUSTRANA_ENTRY(101), LUSTRANA_ENTRY(104), LUSTRANA_ENTRY(105), LUSTRANA_ENTRY(106), LUSTRANA_ENTRY(107),
    LUSTRANA_ENTRY(108), LUSTRANA_ENTRY(109), LUSTRANA_ENTRY(110), LUSTRANA_ENTRY(111),
};
#undef LUSTRANA_ENTRY
} // namespace

const EmbeddedResource* findResource(int id, int density)
{
    for (const EmbeddedResource& r : table)
        if (r.id == id && r.density == density)
            return &r;
    return nullptr;
}
