// BlnReader (in progress).
#include "fileconv/BlnReader.hpp"
