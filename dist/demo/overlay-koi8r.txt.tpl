В эфире: !KW!SongArtist - !KW!SongTitle
Далее: !KW!PlayListSongArtist0 - !KW!PlayListSongTitle0
!KW!SysMSG
