<!DOCTYPE html>
<html>
<head><meta charset="utf-8"><title>PHP form</title></head>
<body>
<h1>PHP form</h1>
<form method="post" action="form.php">
  <label>Name <input name="name" id="name"></label>
  <label>Colour <input name="colour" id="colour"></label>
  <button type="submit">Send</button>
</form>
<?php if ($_SERVER['REQUEST_METHOD'] === 'POST'): ?>
<h2>Posted fields</h2>
<dl id="posted">
<?php foreach ($_POST as $field => $value): ?>
  <dt><?php echo htmlspecialchars($field); ?></dt><dd><?php echo htmlspecialchars($value); ?></dd>
<?php endforeach; ?>
</dl>
<?php endif; ?>
</body>
</html>
