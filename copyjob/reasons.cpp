// The words that tell why an element could not be copied: the one table.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "copyjob/job.h"
#include "engine/engine.h"

namespace copyjob {

std::string failureReasonText(const engine::FailureReason& reason) {
  using platform::FailureCause;
  switch (reason.cause) {
    case FailureCause::accessRefused:
      return "accès refusé";
    case FailureCause::heldByAnotherProgram:
      return "fichier utilisé par un autre programme";
    case FailureCause::noRoom:
      return "espace insuffisant sur la destination";
    case FailureCause::notFound:
      return "introuvable";
    case FailureCause::nameTooLong:
      return "nom ou chemin trop long";
    case FailureCause::invalidName:
      return "nom non valide sur la destination";
    case FailureCause::mediumGone:
      return "support déconnecté";
    case FailureCause::networkLost:
      return "chemin réseau perdu";
    case FailureCause::mediumError:
      return "erreur de lecture ou d'écriture du support";
    case FailureCause::writeProtected:
      return "support protégé en écriture";
    case FailureCause::changedDuringCopy:
      return "modifié pendant la copie";
    case FailureCause::caseClash:
      return "nom déjà utilisé (majuscules et minuscules confondues)";
    case FailureCause::danglingLink:
      return "lien sans cible";
    case FailureCause::destinationGone:
      return "destination disparue";
    case FailureCause::other:
      break;
  }
  return "erreur système " + std::to_string(reason.error);
}

namespace {

// The number of characters (not bytes) of UTF-8 text.
std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

// The byte offset where the character number `index` starts (the size when
// there are fewer characters).
std::size_t characterOffset(std::string_view text, std::size_t index) {
  std::size_t at = 0;
  while (at < text.size()) {
    if ((static_cast<unsigned char>(text[at]) & 0xC0) != 0x80) {
      if (index == 0) return at;
      --index;
    }
    ++at;
  }
  return at;
}

// `path` in at most `room` characters: when it is longer, its start and its
// end with "..." between them.
std::string shortenedInTheMiddle(const std::string& path, std::size_t room) {
  const std::size_t length = characterCount(path);
  constexpr std::size_t kMark = 3;  // "..."
  if (length <= room) return path;
  if (room <= kMark) return std::string("...").substr(0, room);
  const std::size_t kept = room - kMark;
  const std::size_t tail = kept / 2;
  const std::size_t head = kept - tail;
  return path.substr(0, characterOffset(path, head)) + "..." +
         path.substr(characterOffset(path, length - tail));
}

}  // namespace

std::string failedElementJournalLine(const FailedElement& element) {
  return "Echec de la copie : " + element.path + " (" + element.reason + ")";
}

std::string copyEndText(const std::string& folderName, const std::vector<FailedElement>& failed,
                        bool journalOn) {
  std::string text = "La copie de " + folderName + " est terminée.";
  if (failed.empty()) return text;
  text += "\r\r" + std::to_string(failed.size()) + " élément(s) n'ont pu être copié(s).";
  // The list stands apart from the count, one element a line.
  text += "\r";
  const std::size_t named = std::min(failed.size(), kEndBoxFailedLines);
  for (std::size_t i = 0; i < named; ++i) {
    const std::string after = " : " + failed[i].reason;
    const std::size_t afterLength = characterCount(after);
    const std::size_t room = kEndBoxLineLength > afterLength ? kEndBoxLineLength - afterLength : 0;
    text += "\r" + shortenedInTheMiddle(failed[i].path, room) + after;
  }
  if (failed.size() > named) {
    text += "\r... et " + std::to_string(failed.size() - named) +
            (journalOn ? " autre(s), voir le journal." : " autre(s).");
  }
  return text;
}

}  // namespace copyjob
