#include "cli/labels.h"

#include <iterator>

namespace patmon {

namespace {

// language, model, maker, description, options, none, memory, versions,
// page counter, severity, status codes, note, level, level unknown,
// label, message
constexpr Labels kLabels[] = {
    {"EN", "model", "maker", "description", "options", "none", "memory", "versions", "page counter", "severity",
     "status codes", "note", "level", "level unknown", "label", "message"},
    {"JP", "機種", "メーカー", "説明", "オプション", "なし", "メモリー", "バージョン", "印刷枚数カウンター", "重要度",
     "ステータスコード", "注記", "残量", "残量不明", "ラベル", "メッセージ"},
    {"DE", "Modell", "Hersteller", "Beschreibung", "Optionen", "keine", "Speicher", "Versionen", "Seitenzähler",
     "Schweregrad", "Statuscodes", "Hinweis", "Füllstand", "Füllstand unbekannt", "Kurztext", "Meldung"},
    {"FR", "modèle", "fabricant", "description", "options", "aucune", "mémoire", "versions", "compteur de pages",
     "gravité", "codes d'état", "remarque", "niveau", "niveau inconnu", "libellé", "message"},
    {"IT", "modello", "produttore", "descrizione", "opzioni", "nessuna", "memoria", "versioni", "contatore pagine",
     "gravità", "codici di stato", "nota", "livello", "livello sconosciuto", "etichetta", "messaggio"},
    {"ES", "modelo", "fabricante", "descripción", "opciones", "ninguna", "memoria", "versiones",
     "contador de páginas", "gravedad", "códigos de estado", "nota", "nivel", "nivel desconocido", "etiqueta",
     "mensaje"},
    {"NL", "model", "fabrikant", "beschrijving", "opties", "geen", "geheugen", "versies", "paginateller", "ernst",
     "statuscodes", "opmerking", "niveau", "niveau onbekend", "label", "bericht"},
    {"SV", "modell", "tillverkare", "beskrivning", "tillval", "inga", "minne", "versioner", "sidräknare",
     "allvarlighetsgrad", "statuskoder", "anmärkning", "nivå", "nivå okänd", "etikett", "meddelande"},
    {"DA", "model", "producent", "beskrivelse", "tilbehør", "ingen", "hukommelse", "versioner", "sidetæller",
     "alvorlighed", "statuskoder", "bemærkning", "niveau", "niveau ukendt", "etiket", "meddelelse"},
    {"NO", "modell", "produsent", "beskrivelse", "tilleggsutstyr", "ingen", "minne", "versjoner", "sideteller",
     "alvorlighetsgrad", "statuskoder", "merknad", "nivå", "nivå ukjent", "etikett", "melding"},
    {"CS", "model", "výrobce", "popis", "doplňky", "žádné", "paměť", "verze", "počítadlo stran", "závažnost",
     "stavové kódy", "poznámka", "úroveň", "úroveň neznámá", "štítek", "zpráva"},
    {"HU", "modell", "gyártó", "leírás", "opciók", "nincs", "memória", "verziók", "oldalszámláló", "súlyosság",
     "állapotkódok", "megjegyzés", "szint", "ismeretlen szint", "címke", "üzenet"},
    {"PL", "model", "producent", "opis", "opcje", "brak", "pamięć", "wersje", "licznik stron", "ważność",
     "kody stanu", "uwaga", "poziom", "poziom nieznany", "etykieta", "komunikat"},
    {"PT", "modelo", "fabricante", "descrição", "opcionais", "nenhum", "memória", "versões", "contador de páginas",
     "gravidade", "códigos de status", "observação", "nível", "nível desconhecido", "rótulo", "mensagem"},
    {"FI", "malli", "valmistaja", "kuvaus", "lisävarusteet", "ei mitään", "muisti", "versiot", "sivulaskuri",
     "vakavuus", "tilakoodit", "huomautus", "taso", "taso tuntematon", "otsikko", "viesti"},
};

}  // namespace

const Labels &LabelsOf(const std::string &language) {
    for (const Labels &labels : kLabels) {
        if (language == labels.language) return labels;
    }
    return kLabels[0];
}

const Labels *AllLabels(size_t *count) {
    *count = std::size(kLabels);
    return kLabels;
}

}  // namespace patmon
