// KmlDocument (in progress).
#include "fileconv/KmlDocument.hpp"
