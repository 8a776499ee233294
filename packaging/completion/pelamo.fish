# fish completion for pelamo(1), installed as share/fish/vendor_completions.d/pelamo.fish.

# The names of the library's shows, as `pelamo --list --null` prints them: it only
# reads the library. The library is the one after the first --library on the
# line, or the default one. Fish takes one candidate a line and a tab as the
# start of a description, so a name with a line break or a tab can't be offered
# whole, and is left out.
function __pelamo_shows
    set -l tokens (commandline -opc)
    set -l arguments --list --null
    set -l at (contains -i -- --library $tokens)
    and set -q tokens[(math $at + 1)]
    and set -a arguments --library (string replace -r '^~(?=/|$)' -- $HOME $tokens[(math $at + 1)])
    set -l program (string replace -r '^~(?=/|$)' -- $HOME $tokens[1])
    $program $arguments 2>/dev/null </dev/null | string split0 | string match -rv '[\t\n]'
end

# MP3 files and folders that complete the current token, from fish's own file
# completion: asked for a command that has no completions of its own.
function __pelamo_mp3_files
    set -l token (commandline -ct)
    complete -C"__pelamo_files_only $token" | string match -r -- '(?i)^[^\t]*(?:\.mp3|/)(?:\t.*)?$'
end

complete -c pelamo -f
complete -c pelamo -l list -d 'Print one line per show'
complete -c pelamo -l tag -d 'Tag MP3 files with the show given by --show'
complete -c pelamo -l show -x -a '(__pelamo_shows)' -d 'The show to tag with'
complete -c pelamo -l library -x -a '(__fish_complete_directories)' -d 'Use the library in another folder'
complete -c pelamo -l undo -d 'Put back every file of the newest batch'
complete -c pelamo -l dry-run -d 'Write nothing, say what tagging or undo would do'
complete -c pelamo -l json -d 'Print one JSON object a line'
complete -c pelamo -l null -d 'With --list, only the names, each ended by a NUL byte'
complete -c pelamo -l inspect -d 'Print the tags files have now'
complete -c pelamo -l snapshot -x -a '(__fish_complete_directories)' -d 'Render the windows into PNG files'
complete -c pelamo -l capture -x -a '(__fish_complete_directories)' -d 'Photograph the main window'
complete -c pelamo -l appearance -x -a 'light dark' -d 'The appearance of the capture'
complete -c pelamo -l size -x -d 'The window size of the capture, WIDTHxHEIGHT'
complete -c pelamo -l sample-dir -x -a '(__fish_complete_directories)' -d 'The folder tagged before the capture'
complete -c pelamo -l help -d 'Print the usage and the exit statuses'
complete -c pelamo -l version -d 'Print the version'
# Files and folders to tag, or to open in the window.
complete -c pelamo -n 'not string match -q -- "-*" (commandline -ct)' -a '(__pelamo_mp3_files)'
