#include "scene/PassElision.hpp"

bool PassElision::enabled = true;
