#pragma once

// Ids of the user-interface texts that code builds messages, prompts and
// titles from; pass them to text(). Menu captions and control labels are
// looked up by the windows through their designed ids instead.
namespace vimra::msg {

// Dialog titles and short labels.
constexpr int Warning = 1055;
constexpr int Cancel = 1068;

// Schema reader, field records and document model.
constexpr int WarningPrefix = 1069;           // "Warning: "
constexpr int ErrorPrefix = 1070;             // "Error: "
constexpr int TreatedAsString = 1071;         // " unsupported. Treated as string..."
constexpr int SchemaLoadError = 1072;         // "Error loading the schema: "
constexpr int TypeNotDefined = 1073;
constexpr int NoComplexType = 1074;
constexpr int NoSchemaReference = 1075;
constexpr int NoContentGroup = 1076;
constexpr int EmptyContentGroup = 1077;
constexpr int SchemaElement = 1078;           // " the schema element "
constexpr int NoTypeOrName = 1079;
constexpr int NotAssigned = 1081;
constexpr int NotDefinedInSchema = 1082;
constexpr int MustBeEnumeration = 1083;
constexpr int RelationsMustBeGuidSets = 1086;
constexpr int ComplexContentNoGroup = 1087;
constexpr int HasAudioMustBeString = 1088;
constexpr int HasTranscriptMustBeString = 1089;
constexpr int ClassNameMismatch = 1090;
constexpr int ItemNotSelected = 1091;
constexpr int NotFound = 1092;
constexpr int CannotCreateDirectory = 1094;
constexpr int ObjectsNotSaved = 1095;
constexpr int LoadWholeDocument = 1096;
constexpr int NoTranscript = 1097;

// Main window, dialogs and editor windows.
constexpr int SaveModifications = 1098;
constexpr int BibliographicData = 1099;
constexpr int MultimediaData = 1100;
constexpr int ConfirmRemoveExpressions = 1101;
constexpr int InvalidTimeInterval = 1102;
constexpr int NewExpressionTitlePrompt = 1103;
constexpr int SegmentTitle = 1104;
constexpr int NewVersionTitlePrompt = 1106;
constexpr int VersionTitle = 1107;
constexpr int NewMediaFormatPrompt = 1108;
constexpr int MediaFormat = 1109;
constexpr int StorageCollocationPrompt = 1110;
constexpr int CreateStorageFirst = 1112;
constexpr int FormatNotValid = 1113;
constexpr int DurationDiffers = 1114;
constexpr int StartInsideSegment = 1118;
constexpr int EndInsideSegment = 1119;
constexpr int IntervalOverlaps = 1120;
constexpr int SearchPrompt = 1121;
constexpr int MainVideoNamePrompt = 1122;
constexpr int MainVideoName = 1123;
constexpr int MainAudioNamePrompt = 1124;
constexpr int MainAudioName = 1125;
constexpr int MainTranscriptNamePrompt = 1126;
constexpr int MainTranscriptName = 1127;
constexpr int NewDocumentNamePrompt = 1128;
constexpr int DocumentName = 1129;
constexpr int ObjectNotFound = 1131;
constexpr int BadObjectGuid = 1132;
constexpr int SchemaNotFound = 1133;
constexpr int BadVideoPath = 1134;
constexpr int OpeningObject = 1136;
constexpr int SavingObject = 1137;
constexpr int ConfirmDeleteObject = 1138;
constexpr int AndAllChildren = 1139;
constexpr int ThematicKeywordsUnavailable = 1146;
constexpr int ThematicKeywordsLoadError = 1147;
constexpr int CrossLanguageInconsistent = 1148;
constexpr int IntervalContainsOthers = 1149;
constexpr int ConfirmMergeExpressions = 1150;
constexpr int FileNotValid = 1159;
constexpr int NoDatamanagerConnection = 1160;
constexpr int Failed = 1161;
constexpr int PortNotPositive = 1162;
constexpr int CrossLanguageDisabled = 1163;
constexpr int CrossLanguageDisableWarning = 1164;
constexpr int NewStorageCollocationPrompt = 1166;
constexpr int ConfirmUpdateKeyframe = 1176;
constexpr int KeyframeUpdated = 1177;
constexpr int SettingsFileNotFound = 1178;
constexpr int DocumentOpened = 1179;          // status bar, followed by the path
constexpr int DocumentSaved = 1180;
constexpr int DocumentNotSaved = 1181;
constexpr int FileNotWritten = 1182;          // followed by the path and the reason
constexpr int KeyframeNotPlaced = 1183;
constexpr int NoVocabularyInSettings = 1184;
constexpr int ConnectionParameters = 1185;    // the connection dialog's caption
constexpr int OutsideDocumentFolder = 1186;   // after the path
constexpr int NameNotUtf8 = 1187;             // after the path
constexpr int SegmentsTooDeep = 1193;         // after the path
constexpr int SaveAsInsideObjectFolder = 1194; // after the path
// The expression's title and the clip's length fill it in.
constexpr int PastClipEnd = 1195;
constexpr int TimeEndsBeforeStart = 1196;     // after the path
constexpr int ObjectsNotCarried = 1197;       // followed by the paths, one a line
constexpr int MediaNotPlayed = 1198;          // followed by the path and the reason
constexpr int PictureTooLarge = 1199;         // after the path
constexpr int FilesChangedOnDisk = 1200;      // followed by the files, one a line
constexpr int WriteOverChangedFiles = 1201;   // the question after them
constexpr int SettingsFileNotRead = 1202;     // followed by the path and the reason
constexpr int SettingsNoGroup = 1203;         // a reason, after the path

// Why a file was refused unread, said after its path.
constexpr int NotRegularFile = 1188;
constexpr int FileTooLarge = 1189;
constexpr int NoMemoryForFile = 1190;
constexpr int EntityTextTooLarge = 1191;
constexpr int EntityNotRead = 1192;
constexpr int DeclaresOwnDtd = 1204;
constexpr int ParameterEntitiesTooMuch = 1205;

// Thematic vocabulary file.
constexpr int SubthemeNoEnglish = 1168;
constexpr int VocabularyRootNotFound = 1169;
constexpr int ThemeNoEnglish = 1170;
constexpr int SubthemeOnlyKeywords = 1171;
constexpr int ThemeOnlySubthemes = 1172;
constexpr int KeywordNoEnglish = 1173;

} // namespace vimra::msg
