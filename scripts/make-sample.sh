#!/usr/bin/env bash
# Writes a small sample document for this machine: a root with one Version,
# one Media and one Storage whose Collocation is a short generated clip, and
# the Version's main Video (three segments, their files numbered out of time
# order), main Audio and main Transcript with a few words.
# Identifiers are absolute paths, so the sample is made where it is used.
# Usage: make-sample.sh FOLDER   (prints the path of the document's root file)
set -euo pipefail
dir=$(realpath -m "${1:?folder}")
mkdir -p "$dir/Sample_files"
files="$dir/Sample_files"
clip="$dir/sample-clip.mpg"
if [ ! -s "$clip" ]; then
  ffmpeg -loglevel error -y -f lavfi -i "testsrc=duration=8:size=320x240:rate=25" \
         -f lavfi -i "sine=frequency=440:duration=8" -c:v mpeg1video -q:v 4 -c:a mp2 \
         -shortest "$clip"
fi

head='<?xml version="1.0" encoding="UTF-8"?>'
ns='xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xsi:noNamespaceSchemaLocation="vimra.xsd"'

cat > "$dir/Sample.xml" <<XML
$head
<AVDocument $ns><AVDocGUID>$dir/Sample.xml</AVDocGUID><Title>Harbour at dawn</Title><OriginalTitle>Il porto all'alba</OriginalTitle><expressedby><GUID>$files/Sample_version1.xml</GUID></expressedby><Themes>Arts and Culture</Themes><Subthemes>Music</Subthemes><ThematicKeywords><StringItem>Classical music</StringItem></ThematicKeywords><Genre>Documentary</Genre><Directors><StringItem>M. Rossi</StringItem></Directors><ProductionYear>1962</ProductionYear><FirstShownDate>1962-09-03</FirstShownDate><AccessRestricted>false</AccessRestricted><AccessionNumber>ACC-1987-0042</AccessionNumber></AVDocument>
XML
cat > "$files/Sample_version1.xml" <<XML
$head
<Version $ns><VersionGUID>$files/Sample_version1.xml</VersionGUID><VersionTitle>Original release</VersionTitle><manifestedby><GUID>$files/Sample_media1.xml</GUID></manifestedby><ReleaseDate>1962-05-14</ReleaseDate></Version>
XML
cat > "$files/Sample_media1.xml" <<XML
$head
<Media $ns><MediaGUID>$files/Sample_media1.xml</MediaGUID><Format>MPEG-1</Format><availableas><GUID>$files/Sample_storage1.xml</GUID></availableas><FrameWidth>320</FrameWidth><FrameHeight>240</FrameHeight></Media>
XML
cat > "$files/Sample_storage1.xml" <<XML
$head
<Storage $ns><StorageGUID>$files/Sample_storage1.xml</StorageGUID><Collocation>$clip</Collocation><ShelfMark>A-12/3</ShelfMark></Storage>
XML
version="<VersionGUID>$files/Sample_version1.xml</VersionGUID>"
whole='<Time start="0" end="8000" reasons="0"/>'
cat > "$files/Sample_video1.xml" <<XML
$head
<Video $ns><VideoGUID>$files/Sample_video1.xml</VideoGUID><Title>Harbour at dawn</Title>$version$whole<FrameRate>25</FrameRate></Video>
XML
# Time order: video3, video2, video4.
segment() { # file title start end [next]
  local next=""
  [ -n "${5:-}" ] && next="<followedbyvideo>$files/$5</followedbyvideo>"
  cat > "$files/$1" <<XML
$head
<Video $ns><VideoGUID>$files/$1</VideoGUID><Title>$2</Title><Time start="$3" end="$4" reasons="0"/><partofvideo>$files/Sample_video1.xml</partofvideo>$next</Video>
XML
}
segment Sample_video2.xml "Boats leave" 3000 6000 Sample_video4.xml
segment Sample_video3.xml "First light" 0 3000 Sample_video2.xml
segment Sample_video4.xml "Gulls" 6000 8000
cat > "$files/Sample_audio1.xml" <<XML
$head
<Audio $ns><AudioGUID>$files/Sample_audio1.xml</AudioGUID><Title>Harbour sounds</Title>$version$whole<AudioContent>Ambient sound</AudioContent></Audio>
XML
cat > "$files/Sample_transcript1.xml" <<XML
$head
<Transcript $ns><TranscriptGUID>$files/Sample_transcript1.xml</TranscriptGUID><Title>Narration</Title>$version$whole<transcriptwordlist><Word start="500" end="900">The</Word><Word start="900" end="1500">harbour</Word><Word start="1500" end="2300">wakes</Word></transcriptwordlist><TranscriptKind>Verbatim</TranscriptKind></Transcript>
XML
echo "$dir/Sample.xml"
