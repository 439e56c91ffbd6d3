<!DOCTYPE html>
<html>
<head><meta charset="utf-8"><title>PHP page</title></head>
<body>
<h1>PHP page</h1>
<p>Served by <?php echo htmlspecialchars($_SERVER['SERVER_NAME'] ?? ''); ?>
 to <?php echo htmlspecialchars($_SERVER['REMOTE_ADDR'] ?? ''); ?>
 at <?php echo date('Y-m-d H:i:s'); ?>.</p>
<p>Query: <?php echo htmlspecialchars($_SERVER['QUERY_STRING'] ?? ''); ?></p>
</body>
</html>
