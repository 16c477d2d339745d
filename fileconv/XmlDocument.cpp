// XmlDocument (in progress).
#include "fileconv/XmlDocument.hpp"
