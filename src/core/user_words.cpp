#include "core/user_words.h"

#include <cerrno>
#include <cstring>

#include "core/core_data.h"
#include "core/file_paths.h"
#include "platform/text.h"

namespace tav {

using namespace literals;

std::string Words(std::string_view de, std::string_view en, std::string_view es) {
  return std::string(LanguageIndex == 0 ? de : LanguageIndex == 2 ? es : en);
}

std::string FileErrorReason(int error_number) {
  switch (error_number) {
    case ENOSPC:
    case EDQUOT:
      return Words("der Datenträger ist voll"_w, "the disk is full", "el disco está lleno"_w);
    case EROFS:
      return Words("der Datenträger ist schreibgeschützt"_w, "the disk is read-only",
                   "el disco es de solo lectura"_w);
    case EACCES:
    case EPERM:
      return Words("keine Berechtigung"_w, "permission denied", "permiso denegado"_w);
    case EISDIR:
      return Words("an ihrer Stelle steht ein Ordner"_w, "a folder stands in its place",
                   "en su lugar hay una carpeta"_w);
    case ENOENT:
    case ENOTDIR:
      return Words("ihr Ordner fehlt"_w, "its folder is missing", "falta su carpeta"_w);
    case EIO:
      return Words("der Datenträger meldet einen Ein-/Ausgabefehler"_w, "the disk reports an input/output error",
                   "el disco informa de un error de entrada/salida"_w);
    default:
      return Format("%s (errno %i)", std::strerror(error_number), error_number);
  }
}

std::string CannotWriteMessage(const std::filesystem::path& path, int error_number) {
  const std::string file = PathText(path), why = FileErrorReason(error_number);
  return Words("Die Datei "_w + file + " kann nicht geschrieben werden: "_w + why + ".",
               "The file " + file + " cannot be written: " + why + ".",
               "No se puede escribir el archivo "_w + file + ": " + why + ".");
}

}  // namespace tav
