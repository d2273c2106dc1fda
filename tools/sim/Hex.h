#pragma once

#include <string>

#include "Types.h"

std::string toHex(const Bytes& bytes);
