#include "search/search_criteria.h"

void TSearchCriteria::ClearGeneral() {
    Name.clear();
    NamePatternKind = TNamePattern::TKind::None;
    NamePattern.clear();
    Category.clear();
    Comments.clear();
    Volume.clear();
    Location.clear();
    Type.clear();
    Anywhere.clear();
    Date1Use = Date2Use = SizeUse = false;
    DurationUse = TakenUse = false;
    ReplaceCategory = ReplaceComments = false;
}
