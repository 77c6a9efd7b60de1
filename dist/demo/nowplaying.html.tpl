<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<meta http-equiv="refresh" content="15">
<title>Сейчас в эфире: !KW!SongArtist - !KW!SongTitle</title>
</head>
<body>
<h1>Сейчас в эфире</h1>
<p class="song"><b>!KW!SongArtist</b> &mdash; !KW!SongTitle (!KW!SomgDuration)</p>
<p class="block">Блок: !KW!BlockName, с !KW!BlockRunTime</p>
<h2>Далее</h2>
<ol>
<li>!KW!PlayListArtist0 &mdash; !KW!PlayListTitle0 (!KW!PlayListDuration0)</li>
<li>!KW!PlayListArtist1 &mdash; !KW!PlayListTitle1 (!KW!PlayListDuration1)</li>
<li>!KW!PlayListArtist2 &mdash; !KW!PlayListTitle2 (!KW!PlayListDuration2)</li>
</ol>
<h2>Только что звучали</h2>
<ul>
<li>!KW!PlayedRunTime0 !KW!PlayedArtist0 &mdash; !KW!PlayedTitle0</li>
<li>!KW!PlayedRunTime1 !KW!PlayedArtist1 &mdash; !KW!PlayedTitle1</li>
</ul>
<p class="clock">Час: !KW!ClockName, далее: !KW!NClockName. Обновлено !KW!SystemTime !KW!SystemDate</p>
</body>
</html>
