#include "writer/byte_writer.hpp"
