// Variables shared between the start-up procedure and the windows.
#pragma once

#include <cstdint>

namespace duomira {

struct SharedVariables {
    // The display style that the main window's ChangeStyle applies next:
    // 1 smallest, 2 normal, any other value detailed.
    std::int16_t NextStyle = 0;
};

}  // namespace duomira
